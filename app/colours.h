// The two text colours of the window's layout, and how a control is given one.
#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

namespace qelvora {

inline const QColor kPureRed(255, 0, 0);
inline const QColor kPureBlue(0, 0, 255);

// Sets the colour of a control's text: a label's (WindowText) and a text box's (Text).
inline void setTextColor(QWidget *control, const QColor &color)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    control->setPalette(palette);
}

} // namespace qelvora
