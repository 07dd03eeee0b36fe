#pragma once
// Points the real window's queries at a relay on loopback: its service for
// tokens, the relay's address, the first line, the given plates on the list
// and the "查号" page open.

#include <QComboBox>
#include <QTabWidget>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "text/encoding.h"

namespace yhz::test {

// `base` is the service's address (http://127.0.0.1:port); plates are UTF-8.
inline void queryThroughRelay(MainWindow& w, const std::string& base,
                              const std::vector<std::string>& plates) {
    w.useServiceForQueries(base);
    w.startupValues().setRelayAddress(base + "/relay");
    w.access().addItem("组合框2", gbk("   线路[ 1 ]"));
    for (const std::string& plate : plates) {
        w.lists().plates->appendNumbered(gbk(plate), "2024-01-02", 1);
    }
    w.findChild<QTabWidget*>()->setCurrentIndex(2);
}

}  // namespace yhz::test
