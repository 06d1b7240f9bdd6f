// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures come from the desktop theme where it has them, so the window
// looks at home; our own drawings stand in where it has none.
#pragma once

#include <QIcon>

namespace tarnwick::ui {

// The theme's icon `name`, else ":/icons/<name>.svg".
QIcon ThemeIcon(const char* name);
// Always our own ":/icons/<name>.svg", for pictures whose shape carries
// meaning (the sort triangles), which a theme may draw differently.
QIcon OwnIcon(const char* name);

// The product's addresses, shown on the splash and the About box.
inline constexpr char kHomePage[] = "https://tarnwick.example.org/";
inline constexpr char kSupportMail[] = "support@tarnwick.example.org";

} // namespace tarnwick::ui
