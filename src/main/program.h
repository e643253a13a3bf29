// The six objects that live for the whole run, each reachable through its
// global reference: the database module, the link module, the main window
// and the three dialogs. The program's entry and the tests that drive the
// whole program create and destroy them the same way.
#pragma once

// Creates them in their order. An error while one is created is shown, and
// start-up goes on with the next one.
void CreateProgramObjects();

// Destroys them in the reverse order and clears their references.
void DestroyProgramObjects();
