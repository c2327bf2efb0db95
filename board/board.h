// The simulated board: one state record that every part of qz-board works on.
//
// qz-board plays the far end of the serial line: a BASIC interpreter's console on a
// pseudo-terminal. It echoes what it receives, answers with a "> " prompt, takes programs in
// its program-entry modes, receives files by XMODEM and acts out the 1200-baud firmware reset.
// Everything runs on one thread in the loop of main.cpp; the parts are plain functions over
// this record.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "board/basic.h"

// Which interpreter the board answers as. Plain: one "> " prompt, CR LF one line end
// everywhere, saves at once. Picomite: prompts wrapped in terminal mode sequences, CR and LF
// each end a command at the prompt (CR LF is answered by two prompts), a save that takes
// time growing with the program, output in chunks, and a slow XMODEM receiver.
enum class Personality { Plain, Picomite };

// What the command line chose (options.cpp).
struct BoardOptions {
    Personality Kind = Personality::Plain;
    std::string Link;        // symlink to the serial port's slave side
    std::string Store;       // folder for program.bas, transcript.log, ...
    std::string DriveDir;    // folder that plays the firmware drive
    std::string MountsFile;  // mount table that lists the drive while it exists
    std::string Pin;         // security PIN; empty: none asked
    bool WrongPin = false;
    bool PinSilent = false;
    bool Silent = false;
    bool XmodemCrc = true;
    double EchoDelayMs = 0;  // fractions too: 0.1 ms is a fast board's echo latency
    int LoseEcho = 0;
    std::set<long> NakBlocks;
    int NakCount = 1;
    bool NakAll = false;
    long CanBlock = 0;
    bool IgnoreEot = false;
    long CorruptSendBlock = 0;  // XMODEM SEND: damage this block on the wire, once
    long AlterStoredLine = 0;   // keep this program line without its last character
    long VanishAfterLines = 0;
    bool LineSpeed = false;
    int ChunkBytes = 0;      // output leaves in writes of at most this many bytes; 0: any
    double SaveMsPerKb = 0;  // a save takes this long per 1024 bytes of program
    double NoiseRate = 0;    // the chance that a byte towards the board is lost or changed
    uint64_t NoiseSeed = 1;
    bool Help = false;
};

// The serial port: a pseudo-terminal whose master the board keeps (pty.cpp).
struct BoardPort {
    int Master = -1;
    int Slave = -1;  // held open so that a client closing does not hang up the master
    int Watch = -1;  // inotify descriptor that sees clients open and close the slave
    std::string SlavePath;
    int Clients = 0;
    long Baud = 0;  // the speed the client last set, 0 until read
};

// Bytes on their way in or out, each with the time at which it is due (wire.cpp).
struct WireByte {
    uint8_t Value;
    int64_t DueUs;
};
struct BoardWire {
    std::deque<WireByte> In;
    std::deque<WireByte> Out;
    int64_t InFreeUs = 0;     // when the receive line is free for the next byte
    int64_t OutFreeUs = 0;    // when the transmit line is free for the next byte
    int64_t NextChunkUs = 0;  // with --chunk: when the next write may go
};

enum class ConsoleMode { Locked, Pin, Prompt, Entry, Xmodem, XmodemSend, Mute };
enum class EntryKind { Autosave, Auto, Named };

// The interpreter's console (console.cpp, entry.cpp).
struct BoardConsole {
    ConsoleMode Mode = ConsoleMode::Prompt;
    std::string Line;           // the line being typed
    bool LastWasCr = false;     // an LF right after CR belongs to the same line end
    std::string Escape;         // an escape sequence being received, from its ESC on
    bool LineEchoLost = false;  // the current line's echo is dropped (--lose-echo)
    EntryKind Entry = EntryKind::Autosave;
    std::string EntryName;
    std::vector<std::string> EntryLines;
    long ProgramLines = 0;             // lines received in program entry since start
    std::vector<std::string> Program;  // the program in memory
    BasicContext Basic;
    std::string RunOutput;    // the output of a run that waits at INPUT, with the answers
    int64_t BusyUntilUs = 0;  // a save in progress: no input is read until then
};

// Purging: after a damaged block, what still comes is dropped until the line is quiet, then
// the block is NAKed. EotPending: an EOT counts once the line stays quiet after it.
enum class XmodemPhase { Requesting, Receiving, Purging, EotPending, Draining };

// One XMODEM reception (xmodem.cpp).
struct BoardXmodem {
    XmodemPhase Phase = XmodemPhase::Requesting;
    std::string Name;  // empty: the program memory
    bool Crc = true;
    std::vector<uint8_t> Data;
    std::vector<uint8_t> Packet;
    long Expected = 1;  // sequence number of the next new block, counting from 1
    std::map<long, int> Naks;
    bool CanSeen = false;  // the byte before was a CAN outside a block
    int Requests = 0;
    int64_t StartUs = 0;
    int64_t NextRequestUs = 0;
    int64_t LastByteUs = 0;
};

// One XMODEM sending, behind XMODEM SEND (xmodem_send.cpp).
struct BoardXmodemSend {
    std::string Name;            // empty: the program in memory
    std::vector<uint8_t> Image;  // the file, zero-padded to whole blocks
    bool Started = false;
    bool Crc = false;
    long Block = 0;  // the block in flight, counting from 1; past the last: the EOT
    int Naks = 0;    // NAKs of the block in flight
    bool Corrupted = false;
    bool CanSeen = false;
    int64_t StartUs = 0;
    int64_t LastByteUs = 0;
};

// The noisy wire (noise.cpp).
struct BoardNoise {
    std::mt19937_64 Rng;
    bool EntryDamaged = false;    // a byte of the program entry in progress was hit
    bool ProgramDamaged = false;  // the program in memory came from such an entry
};

enum class BoardPhase { Serial, Drive, Rebooting, Vanished };

// The firmware drive mode after a 1200-baud reset (drive.cpp).
struct BoardDrive {
    int Watch = -1;
    bool MadeDir = false;
    int64_t ReturnUs = 0;
};

struct Board {
    BoardOptions Options;
    BoardPhase Phase = BoardPhase::Serial;
    BoardPort Port;
    BoardWire Wire;
    BoardConsole Console;
    BoardXmodem Xmodem;
    BoardXmodemSend XmodemSend;
    BoardDrive Drive;
    BoardNoise Noise;
    int Transcript = -1;
};

// Microseconds on a clock that never goes backwards.
int64_t NowUs();
// A status line on stderr, prefixed "qz-board: ".
void LogStatus(const std::string& line);
