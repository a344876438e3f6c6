#pragma once

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace velmora::testing {

// Runs `act` on the modal dialog of type T once it is up (the caller is then blocked in exec).
template <typename T> void whenModalShows(std::function<void(T*)> act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (T* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
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
