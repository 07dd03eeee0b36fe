#pragma once
// What every window benchmark sets before its QApplication exists: the
// offscreen platform unless another is chosen, the browser engine without
// its sandbox (the benchmarks run as root in CI), shared GL contexts.

#include <QCoreApplication>
#include <QtGlobal>

namespace yhz::bench {

inline void prepareHeadlessQt() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

}  // namespace yhz::bench
