#include "ui/components/DialogHooks.h"

#include <QList>

namespace velmora::ui {
namespace {

struct HookState {
    bool active = false;
    QStringList messages;
    QStringList fileDialogs;
    QList<QStringList> answers; // an empty list stands for a cancelled dialog
    QStringList printAnswers;   // an empty path stands for a cancelled dialog
    int printDialogs = 0;
    std::function<void(const QString&)> messageObserver;
};

HookState& state() {
    static HookState s;
    return s;
}

} // namespace

bool DialogHooks::active() {
    return state().active;
}

void DialogHooks::setActive(bool on) {
    state().active = on;
}

void DialogHooks::reset() {
    const bool on = state().active;
    state() = HookState{};
    state().active = on;
}

void DialogHooks::setNextFiles(const QStringList& paths) {
    state().answers.append(paths);
}

void DialogHooks::setNextCancel() {
    state().answers.append(QStringList());
}

void DialogHooks::setNextPrintFile(const QString& path) {
    state().printAnswers.append(path);
}

int DialogHooks::shownPrintDialogs() {
    return state().printDialogs;
}

QStringList DialogHooks::shownMessages() {
    return state().messages;
}

QStringList DialogHooks::shownFileDialogs() {
    return state().fileDialogs;
}

void DialogHooks::onMessage(std::function<void(const QString&)> observer) {
    state().messageObserver = std::move(observer);
}

void DialogHooks::recordMessage(const QString& text) {
    state().messages.append(text);
    if (state().messageObserver)
        state().messageObserver(text);
}

std::optional<QStringList> DialogHooks::takeFileAnswer(const QString& qtFilter) {
    state().fileDialogs.append(qtFilter);
    if (state().answers.isEmpty())
        return std::nullopt;
    return state().answers.takeFirst();
}

QString DialogHooks::takePrintAnswer() {
    ++state().printDialogs;
    return state().printAnswers.isEmpty() ? QString() : state().printAnswers.takeFirst();
}

DialogHooks::Scope::Scope() {
    DialogHooks::reset();
    DialogHooks::setActive(true);
}

DialogHooks::Scope::~Scope() {
    DialogHooks::setActive(false);
    DialogHooks::reset();
}

} // namespace velmora::ui
