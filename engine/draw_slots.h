// The state of the draw in progress, shared by every step of a draw. A draw is a relay of timer
// handlers, and this is the only thing they pass along besides the enabled flags of their timers
// and the texts of the controls.
#pragma once

#include <QString>

namespace qelvora {

// Every pick is held as its text form: the decimal digits of the number ("5", "33"), or the
// empty text while the position is not yet picked. Comparisons of picks with texts are therefore
// exact text comparisons: a pick of 5 equals the candidate "5" but not "05".
struct DrawSlots {
    QString PickedBall1; // red 1..6, in drawing order
    QString PickedBall2;
    QString PickedBall3;
    QString PickedBall4;
    QString PickedBall5;
    QString PickedBall6;
    QString PickedBall7; // blue

    // The two-digit texts of the last completed pick set, prepared for the result log.
    QString LogBall1;
    QString LogBall2;
    QString LogBall3;
    QString LogBall4;
    QString LogBall5;
    QString LogBall6;
    QString LogBlueBall;

    // The latest red candidate of stages 2 to 6, accepted or rejected.
    QString CandidateBall;

    // Position 1..7 (7 is blue) to its pick / to its log text.
    QString &pick(int position);
    const QString &pick(int position) const;
    QString &logBall(int position);

    // Empties the seven picks, in position order; nothing else changes.
    void clearPicks();
};

// A position is not yet picked exactly while the text form of its pick is empty.
inline bool isPicked(const QString &pick) { return !pick.isEmpty(); }

// The program-wide draw state; it lives from program start to program end.
extern DrawSlots Module1;

} // namespace qelvora
