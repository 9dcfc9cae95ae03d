// What assistive technology (a screen reader through AT-SPI) finds in the window: its own
// accessible interfaces for the window, the draw counter, the row headings and the number boxes.
#pragma once

namespace qelvora {

class Form1;

// Makes Qt build the window's own interfaces for its controls. Runs before the controls are
// created; running it again does no harm.
void installAccessibleInterfaces();

// A screen reader that is already running asks for the interface of a control as soon as the
// control reports its first change, which may be while it is being built, before the window
// knows it by its name; such an interface is Qt's stock one and would stay. This drops every
// interface made that early, so that the next question gets the window's own. Runs once all
// controls exist.
void dropEarlyAccessibleInterfaces(Form1 *window);

} // namespace qelvora
