// The codes of the one error box (their texts belong to the shell).
#pragma once

namespace lumra {

enum ShowErrorCode : int {
    kErrMemory = 0,
    kErrRead = 1,
    kErrDisplay = 2,
    kErrFileChanged = 3,
    kErrCommand = 4,
    kErrTempCreate = 5,
    kErrTempDelete = 6,
    kErrFileCreate = 7,
    kErrFileExec = 8,
    kErrFileDelete = 9,
    kErrPrintPreview = 10,
    kErrPrint = 11,
    kErrHistorySave = 12,
    kErrHistoryRun = 13,
};

}  // namespace lumra
