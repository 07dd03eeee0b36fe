#include "app/window_growth.h"

#include <QWidget>
#include <algorithm>

#include "app/qt_common/qt_text.h"
#include "base/control_names.h"

namespace yhz {
namespace {

int share(WindowGrowth::Width width, int extra) {
    switch (width) {
        case WindowGrowth::Width::None:
            return 0;
        case WindowGrowth::Width::Pages:
            return WindowGrowth::pagesShare(extra);
        case WindowGrowth::Width::Log:
            return extra - WindowGrowth::pagesShare(extra);
        case WindowGrowth::Width::All:
            return extra;
    }
    return 0;
}

}  // namespace

void WindowGrowth::add(QWidget* widget, Rule rule) {
    if (widget != nullptr) {
        entries_.append({widget, widget->geometry(), rule});
    }
}

void WindowGrowth::apply(QSize size) const {
    const int dx = std::max(0, size.width() - base_.width());
    const int dy = std::max(0, size.height() - base_.height());
    for (const Entry& e : entries_) {
        if (e.widget == nullptr) {
            continue;
        }
        QRect r = e.base;
        r.translate(share(e.rule.moveX, dx), 0);
        r.setWidth(r.width() + share(e.rule.growWidth, dx));
        r.setHeight(r.height() + (e.rule.growHeight ? dy : 0));
        e.widget->setGeometry(r);
    }
}

void addMainWindowGrowth(WindowGrowth& growth, QWidget* window) {
    using W = WindowGrowth::Width;
    struct Named {
        std::string_view name;
        WindowGrowth::Rule rule;
    };
    const Named rules[] = {
        {control::kHeaderBand, {W::None, W::All, false}},
        {control::kPages, {W::None, W::Pages, true}},
        {control::kBrowser, {W::None, W::Pages, true}},
        {control::kRulesBox, {W::None, W::Pages, false}},
        {control::kSegmentBox, {W::None, W::Pages, true}},
        {control::kSegmentList, {W::None, W::Pages, true}},
        {control::kQueryBox, {W::None, W::Pages, true}},
        {control::kLegend, {W::None, W::Pages, false}},
        {control::kQueryProgress, {W::None, W::Pages, false}},
        {control::kPlateList, {W::None, W::Pages, true}},
        {control::kLogBox, {W::Pages, W::Log, true}},
        {control::kLogPane, {W::None, W::Log, true}},
    };
    for (const Named& n : rules) {
        growth.add(window->findChild<QWidget*>(fromName(n.name)), n.rule);
    }
}

}  // namespace yhz
