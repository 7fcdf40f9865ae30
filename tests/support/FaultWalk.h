#pragma once
// The fault walk: a save is run once cleanly to count its file-system steps, then once for every
// step with that step failing (each kind of step, each fault that kind can have), from the same
// starting point each time. Every time, what a user relies on must hold: the save says it failed
// in one message, what was typed is still there, the database is intact and holds either the
// whole save or none of it, and saving again stores the whole.
//
// A save path joins the walk with one SaveCase (see test_fault_walk.cpp).
#include <QString>
#include <functional>

#include "support/ScriptedPrompter.h"

struct sqlite3;

namespace Qd::Test {

struct SaveCase {
    const char* name;
    std::function<void()> prepare;   // makes the unsaved change (after the database is reset)
    std::function<bool()> save;      // the save, as the window's action runs it
    std::function<QString()> typed;  // what the user has typed and not saved, as text
    int questions = 0;               // what the save asks before it writes (a confirmation)
    // How the user saves again what a failed save kept (the save itself when empty).
    std::function<bool()> retry = {};
};

// Walks `c` in the database `db` (opened through FaultVfs), the saves' messages going to
// `prompts`; returns the number of failing runs it made.
int walkFaults(sqlite3* db, ScriptedPrompter& prompts, const SaveCase& c);

}  // namespace Qd::Test
