#pragma once

// What bildwartctl tells the calling script.
enum class ExitCode {
    success = 0,
    // The display answered with an error, did not answer in time, or a loopback packet
    // was not in order.
    displayFailed = 1,
    usage = 2,
    // The port cannot be opened, or the line broke while the tool was using it.
    portFailed = 3,
};
