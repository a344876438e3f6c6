#pragma once

namespace velmora::ui {

// Names the program for Qt (application and organisation name, which place its settings). It
// sets no application display name on purpose: the window system would add " — " and that name
// to every window's caption, and each window shows exactly the caption it was designed with
// ("Form1", not "Form1 — Velmora"). Message boxes carry the program's name as their own title
// (Dialogs::kMessageTitle). May be called before the application object exists.
void setProgramNames();

} // namespace velmora::ui
