#pragma once

// The wizard's process-wide state, owned by the main window and handed by reference to the
// page routines, the file check, the link primitives and the update flows. Everything here is
// touched on the window's thread only.
struct TWizardState {
    int CurrentPage = 1;        // 0 brand choice, 1 intro, 2 products, 3 port and file, 4 summary, 5 update
    int SelectedUnit = 1;       // unit type code of the chosen product
    bool PortsFound = false;    // the last port scan listed at least one port
    bool FileChosen = false;    // an update file has been chosen
    bool UpdateRunning = false; // the update file's format check is running
    bool UpdateActive = false;  // from Begin until the update flow has returned
    bool StopRequested = false; // the technician asked to stop the running update
};
