#include "ui/FormBuilder.h"

#include "ui/CaptionButton.h"
#include "ui/components/BrowserPane.h"
#include "ui/components/EditCombo.h"
#include "ui/components/FlexGrid.h"
#include "ui/components/TextDirection.h"

#include <QChildEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

#include <algorithm>

namespace velmora::ui {
namespace {

QWidget* makeControl(Kind kind, QWidget* window) {
    switch (kind) {
    case Kind::Label: {
        // Captions stand at the edge of their box where their reading starts: a Hebrew caption at
        // the right edge, a Latin one at the left (QLabel takes the direction from the text). They
        // wrap at blanks when the label is tall enough.
        auto* label = new QLabel(window);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case Kind::TextBox: {
        auto* box = new QLineEdit(window);
        showProgramTextFromStart(box);
        return box;
    }
    case Kind::List:
        return new EditCombo(window);
    case Kind::Button:
    case Kind::PictureButton:
        return new CaptionButton(window);
    case Kind::Browser: {
        // The pane has its place in the tab order even before its page has created the view
        // that later takes the focus on its behalf.
        auto* pane = new BrowserPane(window);
        pane->setFocusPolicy(Qt::StrongFocus);
        return pane;
    }
    case Kind::Grid:
        return new FlexGrid(window);
    }
    return new QWidget(window);
}

// A web pane gets a new inner view (its focus proxy) when it loads its first page. Qt then moves
// the pane, with the view, to the end of the window's focus chain; this puts it back between its
// neighbours of the designed tab order.
class TabPlaceKeeper : public QObject {
public:
    TabPlaceKeeper(QWidget* pane, QWidget* previous, QWidget* next)
        : QObject(pane)
        , m_pane(pane)
        , m_previous(previous)
        , m_next(next) {
        pane->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_pane && event->type() == QEvent::ChildPolished &&
            static_cast<QChildEvent*>(event)->child() == m_pane->focusProxy()) {
            if (m_previous)
                QWidget::setTabOrder(m_previous, m_pane);
            if (m_next)
                QWidget::setTabOrder(m_pane, m_next);
        }
        return false;
    }

private:
    QWidget* m_pane;
    QPointer<QWidget> m_previous;
    QPointer<QWidget> m_next;
};

void setCaption(QWidget* control, const QString& caption) {
    if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(caption);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(caption);
}

// A caption stands in the part of its label's box that can be seen: inside the window (at the
// window's usual margin of 120 twips where the box runs past its right edge) and clear of the
// controls that cover an end of the box, such as the text box that overlaps its label by a
// twip or two.
void keepCaptionInSight(const QWidget* window, QLabel* label) {
    const QRect box = label->geometry();
    int left = box.left();
    int right = box.right();
    if (right >= window->width())
        right = window->width() - 1 - twips(120);
    constexpr int kGap = 3;
    for (const QWidget* other : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (qobject_cast<const QLabel*>(other) || !other->geometry().intersects(box))
            continue;
        if (other->geometry().left() > box.center().x())
            right = std::min(right, other->geometry().left() - kGap);
        else if (other->geometry().right() < box.center().x())
            left = std::max(left, other->geometry().right() + kGap);
    }
    label->setContentsMargins(left - box.left(), 0, box.right() - right, 0);
}

} // namespace

QFont designFont(const FontSpec& spec) {
    QFont font;
    // The windows were designed for "MS Sans Serif"; where it is missing, Nachlieli (a plain
    // sans-serif face with Hebrew letters of about the same width, from Debian's culmus) and then
    // DejaVu Sans stand in.
    font.setFamilies(
        {QStringLiteral("MS Sans Serif"), QStringLiteral("Nachlieli CLM"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    // The sizes are points of the design's 96 dots per inch, like the twips of the geometry
    // (twips()), so a caption keeps its designed share of its box on a screen of any density:
    // 8.25 points are 11 pixels, 9.75 points 13, 12 points 16.
    font.setPixelSize(designPixels(spec.points > 0 ? spec.points : 8.25));
    font.setBold(spec.bold);
    font.setItalic(spec.italic);
    font.setUnderline(spec.underline);
    return font;
}

void setUpWindow(QWidget* window, int widthTwips, int heightTwips, const FontSpec& font) {
    window->setFont(designFont(font));
    window->setFixedSize(twips(widthTwips), twips(heightTwips));
}

void buildControls(QWidget* window, std::span<const ControlDef> table) {
    for (const ControlDef& def : table) {
        QWidget* control = makeControl(def.kind, window);
        control->setObjectName(QString::fromLatin1(def.name));
        control->setGeometry(twips(def.left), twips(def.top), twips(def.width), twips(def.height));
        if (def.font.points > 0) {
            control->setFont(designFont(def.font));
            // A web pane with a designed font shows pages without fonts of their own in it.
            if (auto* pane = qobject_cast<BrowserPane*>(control))
                pane->setPageFont(control->font());
        }
        if (def.caption)
            setCaption(control, QString::fromUtf16(def.caption));
    }
    for (QLabel* label : window->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        keepCaptionInSight(window, label);
}

QWidget* controlNamed(const QWidget* window, const char* name) {
    return window->findChild<QWidget*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

void setTabChain(QWidget* window, std::initializer_list<const char*> names) {
    QList<QWidget*> chain;
    for (const char* name : names) {
        QWidget* current = controlNamed(window, name);
        Q_ASSERT_X(current, "setTabChain", name);
        if (!chain.isEmpty())
            QWidget::setTabOrder(chain.last(), current);
        chain.append(current);
    }
    for (qsizetype i = 0; i < chain.size(); ++i) {
        if (qobject_cast<BrowserPane*>(chain.at(i))) {
            new TabPlaceKeeper(chain.at(i), i > 0 ? chain.at(i - 1) : nullptr,
                               i + 1 < chain.size() ? chain.at(i + 1) : nullptr);
        }
    }
}

} // namespace velmora::ui
