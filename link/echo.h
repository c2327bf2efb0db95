// The echo check: while a program line is in flight, what the board sends back is split into
// the echo of that line and the board's own words beyond it.
//
// An interpreter in program entry echoes every character it receives and the line end, and
// says nothing else. When it rejects a line (too long, say) it prints a line starting with
// "Error", leaves program entry and shows its "> " prompt; every line sent after that runs as
// a command. A program line may itself hold "Error" or "> ": only what goes beyond the echo
// counts, so the check compares each received line with the line that was sent.
//
// The check takes received text piece by piece as it arrives (any split, even inside a line
// end or an escape sequence), so a caller may feed it from a polling loop or from an event
// wait alike. Echoes are compared leniently, as boards differ: CR is ignored, a TAB may come
// back as a space, characters outside printable ASCII may be dropped, and terminal escape
// sequences (window title, cursor) are left out.
//
// Beyond that, an echo that holds other characters than the line sent means the board took
// the line wrongly (a noisy wire lost or changed a byte): the line it keeps is not the
// program's. Such a line is "garbled" the moment its echoed line end is in. An echo that
// stops short at a line end is a line the board cut off; a board that refuses a line says
// why at once ("Error ..."), so anything else after the cut, or a pause, means the wire lost
// the line's last characters.
#pragma once

#include "source/text.h"

enum class EchoVerdict {
    Waiting,  // the echo is not complete yet, and the board said nothing that ends the upload
    Echoed,   // the echo of the line in flight is complete, up to its line end
    Error,    // the board printed a line beginning with "Error"
    Prompt,   // the board showed its "> " prompt: it has left program entry
    Garbled,  // the echo holds other characters than the line sent (`Garbled` holds it)
};

struct EchoCheck {
    Text Expected;  // the line in flight, as compared
    long Line = 0;  // its number in the program
    Text Previous;  // the line before, whose echo may still come in late
    long PreviousLine = 0;
    bool PreviousUnechoed = false;  // the line before was counted as not echoed
    bool EchoSeen = false;          // a whole or cut-off echo of the line in flight came
    bool Complete = false;          // the echo of the line in flight is complete
    Text Received;                  // the received line being gathered
    int EscapeState = 0;            // where in an escape sequence the received text stands
    Text Words;                     // what the board said beyond the echoes, lines CR LF apart
    long WordsLine = 0;             // the program line the board's words are about
    long Unechoed = 0;              // lines whose echo was not complete when their wait ended
    long FirstUnechoed = 0;         // the first of them, by its number in the program
    bool CutOff = false;            // the echo of the line in flight ended short at a line end
    Text Garbled;                   // the echo of a garbled line, as the board sent it
};

// How long a cut-off echo waits for the board's reason before it counts as garbled.
inline constexpr int kCutOffGraceMs = 200;

// Line `number` goes out: its echo is awaited from now on.
void ExpectEcho(EchoCheck& check, TextView line, long number);
// Takes text that arrived and says where the line in flight stands. Error, Prompt or Garbled
// win over Echoed when both came in the same piece.
EchoVerdict FeedEcho(EchoCheck& check, TextView received);
// The wait for the line in flight ended: an incomplete echo counts as not echoed, and a
// cut-off one as garbled (the verdict returned).
EchoVerdict EndEchoWait(EchoCheck& check);
