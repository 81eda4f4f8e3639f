// SPDX-License-Identifier: MIT
#include "ledger/fetched_page.h"

#include "analysis/text/text_util.h"

#include <string>

namespace coffer {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

// Whether a tag's name ends where `rest` starts: at a space, "/", ">", or the end of the page.
bool EndsName(std::string_view rest) {
    return rest.empty() || IsSpace(rest.front()) || rest.front() == '/' || rest.front() == '>';
}

// Where the first start tag of the element `name` begins, or kNone.
std::size_t FindStartTag(std::string_view page, std::string_view name) {
    const std::string open = "<" + std::string(name);
    for (std::size_t at = FindNoCase(page, open); at != kNone; at = FindNoCase(page, open, at + 1))
        if (EndsName(page.substr(at + open.size())))
            return at;
    return kNone;
}

// Where the document element's start tag begins: the first tag that is no declaration, processing
// instruction or comment; kNone when there is none.
std::size_t FindDocumentElement(std::string_view page) {
    for (std::size_t at = page.find('<'); at != kNone; at = page.find('<', at + 1)) {
        const std::string_view rest = page.substr(at + 1);
        if (rest.starts_with("!--"))
            at = page.find("-->", at);
        else if (rest.starts_with('?') || rest.starts_with('!'))
            at = page.find('>', at);
        else
            return at;
        if (at == kNone)
            return kNone;
    }
    return kNone;
}

// Whether the element whose start tag begins at `start` is closed: by "/>", or by an end tag of its
// name ("</name", spaces, ">") after it. The page's last end tags are looked at first, where a whole
// page has them.
bool IsClosed(std::string_view page, std::size_t start, std::string_view name) {
    const std::size_t tagEnd = page.find('>', start);
    if (tagEnd == kNone)
        return false;
    if (page[tagEnd - 1] == '/')
        return true;
    for (std::size_t at = page.rfind("</"); at != kNone && at > tagEnd; at = page.rfind("</", at - 1)) {
        std::string_view rest = page.substr(at + 2);
        if (rest.size() < name.size() || !EqualsNoCase(rest.substr(0, name.size()), name))
            continue;
        rest.remove_prefix(name.size());
        while (!rest.empty() && IsSpace(rest.front()))
            rest.remove_prefix(1);
        if (rest.starts_with('>'))
            return true;
    }
    return false;
}

// The name of the tag that begins at `start`.
std::string_view TagName(std::string_view page, std::size_t start) {
    std::size_t end = start + 1;
    while (end < page.size() && !EndsName(page.substr(end)))
        ++end;
    return page.substr(start + 1, end - start - 1);
}

} // namespace

FetchedPageKind KindOfFetchedPage(std::string_view page) {
    const std::size_t list = FindStartTag(page, "banklogs");
    if (list == kNone || FindStartTag(page, "guildKey") == kNone)
        return FetchedPageKind::NoBankLog;
    const std::size_t root = FindDocumentElement(page);
    if (root == kNone) // the elements stand in comments
        return FetchedPageKind::NoBankLog;
    return IsClosed(page, list, "banklogs") && IsClosed(page, root, TagName(page, root)) ? FetchedPageKind::BankLog
                                                                                         : FetchedPageKind::CutShort;
}

} // namespace coffer
