// SPDX-License-Identifier: MIT
#pragma once
// A one-line label for a long name (a file path, a server address): shown whole where it fits, else
// with "…" in the middle, so that both its start and its end stay readable; the whole name is its
// tooltip and its text().

#include <QLabel>

namespace coffer {

class ElidedLabel : public QLabel {
    Q_OBJECT
  public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    QString fullText() const { return fullText_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void elide();

    QString fullText_;
};

} // namespace coffer
