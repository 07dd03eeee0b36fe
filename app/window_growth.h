#pragma once
// How the main window gives the room beyond its first size to its
// controls. At the first size every control has exactly the place and size
// it was made with; beyond it, each one moves or grows by a share of the
// extra width and height, so the browser, the two lists and the log take
// the room while the controls above them keep their places.

#include <QList>
#include <QPointer>
#include <QRect>
#include <QSize>

class QWidget;

namespace yhz {

class WindowGrowth {
public:
    // Which part of the extra width: none, the pages' (left), the log's
    // (right), or all of it.
    enum class Width { None, Pages, Log, All };

    struct Rule {
        Width moveX = Width::None;
        Width growWidth = Width::None;
        bool growHeight = false;
    };

    explicit WindowGrowth(QSize base) : base_(base) {}

    // Takes the widget's present geometry as its geometry at the first size.
    void add(QWidget* widget, Rule rule);
    // Places every widget for a window of `size` (never less than the first).
    void apply(QSize size) const;

    // The share of `extra` width the pages take; the log takes the rest.
    static int pagesShare(int extra) { return extra * 3 / 5; }

private:
    struct Entry {
        QPointer<QWidget> widget;
        QRect base;
        Rule rule;
    };

    QSize base_;
    QList<Entry> entries_;
};

// The main window's controls and their rules, found by name under `window`.
void addMainWindowGrowth(WindowGrowth& growth, QWidget* window);

}  // namespace yhz
