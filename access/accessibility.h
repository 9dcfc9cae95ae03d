// What assistive technology (a screen reader through AT-SPI) finds in the window: its own
// accessible interfaces for the window, the draw counter and the number boxes, the names of the
// controls, and what the window tells a screen reader while the focus moves and a draw runs.
#pragma once

namespace qelvora {

class Form1;
class LockedLineEdit;

// Makes Qt build the window's own interfaces for its controls and send what the window tells
// assistive technology through the window's own handler (accessibility.cpp), and keeps Qt's
// message about a key that a screen reader answered late off the terminal. Runs before the
// controls are created; running it again does no harm.
void installAccessibleInterfaces();

// How many times a screen reader answered a forwarded key too late for Qt, which then delivered
// the key without its answer (the message left off the terminal).
int keyForwardingTimeouts();

// A screen reader that is already running asks for the interface of a control as soon as the
// control reports its first change, which may be while it is being built, before the window
// knows it by its name; such an interface is Qt's stock one and would stay. This drops every
// interface made that early, so that the next question gets the window's own. Runs once all
// controls exist.
void dropEarlyAccessibleInterfaces(Form1 *window);

// Gives every control the name a screen reader reads for it: each number box its row and its
// ball ("本期开奖结果 红球 1", "上期开奖结果 蓝球"), so that no two sound alike. Runs once all
// controls exist.
void nameControls(Form1 *window);

// A ball box counts on twenty times a second until its position is drawn. A screen reader hears
// the box when it settles, not at every step: boxRolls() before a step's change of text keeps
// the change to the box, boxSettled() after the box shows its pick reports the box's new text
// once.
void boxRolls(LockedLineEdit *box);
void boxSettled(LockedLineEdit *box);

// Tells assistive technology, once, the count and the result of the draw that has just ended
// (read from the counter and the seven ball boxes).
void announceDraw(Form1 *window);

} // namespace qelvora
