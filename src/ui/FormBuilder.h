#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

#include <initializer_list>
#include <span>

// Every window is described by a table: one row per control with its kind, name, caption, place
// and font. The window builds its controls from the table and then binds its members to them by
// name, so a control's member name and object name are always the same.
namespace velmora::ui {

// Positions are designed in twips; 15 twips make one device-independent pixel.
constexpr int twips(int value) {
    return (value + 7) / 15;
}

enum class Kind {
    Label,
    TextBox,
    List,          // drop-down list whose edit line also takes typed text
    Button,        // caption wraps inside the button
    PictureButton, // a small picture above the caption
    Browser,       // embedded web page
    Grid,
};

struct FontSpec {
    double points = 0; // 0: the window's own font
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

inline constexpr FontSpec kWindowFont{};
inline constexpr FontSpec kPt8{8.25};
inline constexpr FontSpec kPt8Underline{8.25, false, false, true};
inline constexpr FontSpec kPt9{9.75};
inline constexpr FontSpec kPt9Bold{9.75, true};
inline constexpr FontSpec kPt9Underline{9.75, false, false, true};
inline constexpr FontSpec kPt12{12};
inline constexpr FontSpec kPt12Underline{12, false, false, true};
inline constexpr FontSpec kPt12BoldItalicUnderline{12, true, true, true};

struct ControlDef {
    Kind kind;
    const char* name;
    const char16_t* caption;      // nullptr: no caption (text boxes and lists start empty)
    int left, top, width, height; // twips, from the top left corner of the client area
    FontSpec font = kWindowFont;
};

// The maker's line that follows the version in the window captions.
inline constexpr char16_t kCreditLine[] = u"  Velmora Systems 2026 Tel. 03-5551234, 03-5551235";
inline constexpr char16_t kCreditLineNoPhone[] = u"  Velmora Systems 2026";

// A designed font size in points as pixels of the design's 96 dots per inch.
constexpr int designPixels(double points) {
    return static_cast<int>(points * 96.0 / 72.0 + 0.5);
}

// "MS Sans Serif" where it exists; otherwise a sans-serif face with Hebrew letters, at the
// designed size in pixels.
QFont designFont(const FontSpec& spec);

// Fixes the window's client area to the designed size and sets its font (kWindowFont keeps the
// program's default dialog font, 8.25 points).
void setUpWindow(QWidget* window, int widthTwips, int heightTwips, const FontSpec& font = kPt8);

// Creates the controls of the table as children of the window, in table order.
void buildControls(QWidget* window, std::span<const ControlDef> table);

// The keyboard focus moves through the named controls in the given order.
void setTabChain(QWidget* window, std::initializer_list<const char*> names);

QWidget* controlNamed(const QWidget* window, const char* name);

// The member binding: the control of that name, which must exist and be of type T.
template <typename T> T* control(const QWidget* window, const char* name) {
    T* widget = dynamic_cast<T*>(controlNamed(window, name));
    Q_ASSERT_X(widget, "control", name);
    return widget;
}

} // namespace velmora::ui
