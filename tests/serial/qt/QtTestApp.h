#pragma once

#include <QCoreApplication>

namespace quillon::test {

// The one application object the Qt tests share (created on first use).
inline QCoreApplication& QtTestApp() {
    static int argc = 1;
    static char name[] = "serial_qt_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

}  // namespace quillon::test
