#include "cli/cli.h"

#include <QCoreApplication>

#include <clocale>
#include <ctime>
#include <iostream>

int main(int argc, char** argv) {
    // The item look-ups wait for the network through the application's event handling.
    QCoreApplication application(argc, argv);
    std::setlocale(LC_ALL, "");
    const std::time_t now = std::time(nullptr);
    char createdOn[128] = {};
    std::strftime(createdOn, sizeof createdOn, "%x %X", std::localtime(&now));
    std::ios::sync_with_stdio(false);
    return coffer::RunCli(std::vector<std::string>(argv + 1, argv + argc), std::cin, std::cout, std::cerr, createdOn);
}
