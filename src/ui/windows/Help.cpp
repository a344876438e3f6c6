#include "ui/windows/Help.h"

#include "ui/FormBuilder.h"
#include "ui/components/BrowserPane.h"

namespace velmora::ui {
namespace {

const ControlDef kControls[] = {
    {Kind::Browser, "WebBrowser1", nullptr, 120, 120, 7935, 6495},
};

} // namespace

Help::Help(WindowRegistry&, QWidget* parent)
    : QWidget(parent) {
    setWindowTitle(QStringLiteral("Help"));
    setUpWindow(this, 8355, 6825);
    buildControls(this, kControls);
    WebBrowser1 = control<BrowserPane>(this, "WebBrowser1");
}

void Help::showPage(const QString& page) {
    WebBrowser1->Navigate(page);
}

} // namespace velmora::ui
