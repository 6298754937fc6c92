#pragma once

// What bildwartctl tells the calling script.
enum class ExitCode {
    success = 0,
    // The display answered with an error, did not answer in time, a loopback packet was
    // not in order, doctor found something, or the result could not be written.
    displayFailed = 1,
    usage = 2,
    // The port cannot be opened, the line broke while the tool was using it, or it stopped
    // taking data.
    portFailed = 3,
};
