// What the exit status of meruvia-host and meruvia-send means: the same number for the
// same trouble in both, so that a script or an engineer reads them alike.
#pragma once

enum ExitCode {
    kOk = 0,
    kUsage = 1,       // bad usage, or a value that is not a number
    kRefused = 2,     // the driver refused a tag or device address
    kNoDriver = 3,    // the driver is not registered, cannot be loaded or created
    kNoPort = 4,      // the port could not be opened with these settings
    kWriteFailed = 5, // a frame did not go out whole
};
