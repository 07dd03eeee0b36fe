#pragma once
// The watch list's window: the watched plates with their last answer and when
// it came, the interval of the checks, a check at once, and removing the
// ticked plates. It does not block the main window.

#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QTimer;

namespace yhz {

class PlateWatch;

class WatchDialog final : public QDialog {
    Q_OBJECT
public:
    // `runGoing` tells whether a run of the plate list goes on, which a
    // check waits for.
    WatchDialog(PlateWatch& watch, std::function<bool()> runGoing, QWidget* parent);

    // The status line as it reads now (also for tests).
    QString statusText() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void showStatus();

    PlateWatch& watch_;
    std::function<bool()> runGoing_;
    QComboBox* interval_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace yhz
