#pragma once

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace velmora::testing {

// Runs `act` on the modal dialog of type T once it is up (the caller is then blocked in exec).
// A dialog that is still open 30 seconds later (a step of `act` that did not take, or another
// modal window that came up above it) is closed as a failure, so that a test never hangs.
template <typename T> void whenModalShows(std::function<void(T*)> act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (T* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            auto* watchdog = new QTimer(dialog);
            QObject::connect(watchdog, &QTimer::timeout, dialog, [dialog, watchdog] {
                watchdog->stop();
                if (!dialog->isVisible())
                    return;
                ADD_FAILURE() << "a modal dialog was still open after 30 s; closing it";
                for (int i = 0; i < 10; ++i) {
                    QWidget* top = QApplication::activeModalWidget();
                    if (!top)
                        break;
                    if (auto* modal = qobject_cast<QDialog*>(top))
                        modal->reject();
                    else
                        top->close();
                    if (top == dialog)
                        break;
                }
            });
            watchdog->start(30000);
            act(dialog);
        }
    });
    poll->start(10);
}

// The box of Qt's own file dialog into which the user types file names.
inline QLineEdit* fileNameBox(const QFileDialog* dialog) {
    return dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

// Presses the dialog's Open button as a user would; a disabled button cannot be pressed, and the
// dialog is then cancelled so that the test goes on.
inline void pressOpen(QFileDialog* dialog) {
    const auto* buttons = dialog->findChild<QDialogButtonBox*>();
    QPushButton* open = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
    EXPECT_TRUE(open && open->isEnabled()) << "the dialog's Open button cannot be pressed";
    if (open && open->isEnabled())
        open->click();
    if (dialog->isVisible())
        dialog->reject();
}

} // namespace velmora::testing
