#pragma once
// The window's side of a running command: events are processed on the
// window's own thread, questions and errors are message boxes.

#include "window/window_session.h"

#include <functional>

class QWidget;

namespace tarnwick {

class WindowFrontEnd : public WindowUi {
public:
    WindowFrontEnd(QWidget& window, std::function<void()> showState);

    void pump() override;
    void repaint() override;
    void stateChanged() override;
    bool confirm(const std::string& question) override;
    void showError(const std::string& message) override;
    double now() override;

private:
    QWidget& window_;
    std::function<void()> showState_;
};

} // namespace tarnwick
