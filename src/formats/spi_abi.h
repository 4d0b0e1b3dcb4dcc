/* Import plug-in interface (.spi shared objects). Plain C, shared by the host and the
 * plug-ins built with the program; plugins/README.md describes it for plug-in authors. */
#ifndef LUMRA_SPI_ABI_H
#define LUMRA_SPI_ABI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes of GetPictureInfo and GetPicture. */
enum {
    SPI_NOT_IMPLEMENTED = -1,
    SPI_ALL_RIGHT = 0,
    SPI_ABORT = 1,
    SPI_NOT_SUPPORT = 2,
    SPI_OUT_OF_ORDER = 3,
    SPI_NO_MEMORY = 4,
    SPI_MEMORY_ERROR = 5,
    SPI_FILE_READ_ERROR = 6,
    SPI_WINDOW_ERROR = 7,
    SPI_OTHER_ERROR = 8
};

/* Input kinds in the low three bits of the flag argument. */
enum { SPI_INPUT_FILE = 0, SPI_INPUT_MEMORY = 1 };

/* Bytes of the file's start handed to IsSupported (zero-filled past the end of the file). */
enum { SPI_HEADER_BYTES = 2048 };

/* Byte-packed: left 0, top 4, width 8, height 12, x_density 16, y_density 18,
 * colorDepth 20, hInfo 22; 30 bytes with 64-bit pointers. */
#pragma pack(push, 1)
typedef struct SpiPictureInfo {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    uint16_t x_density;
    uint16_t y_density;
    int16_t colorDepth; /* bits per pixel as stored in the file */
    void* hInfo;        /* NULL, or a malloc'd NUL-terminated UTF-8 text; the host frees it */
} SpiPictureInfo;
#pragma pack(pop)

/* Returns 0 to continue, anything else to cancel. */
typedef int32_t (*SpiProgressCallback)(int32_t num, int32_t denom, intptr_t data);

typedef int32_t (*SpiGetPluginInfo)(int32_t infono, char* buf, int32_t buflen);
// Optional: the plug-in's own settings dialog. parent is the calling dialog's native
// window (an X11 window id, 0 when there is none); fnc 1 asks for the settings.
typedef int32_t (*SpiConfigurationDlg)(intptr_t parent, int32_t fnc);
typedef int32_t (*SpiIsSupported)(const char* filename, const void* data);
typedef int32_t (*SpiGetPictureInfo)(const char* buf, intptr_t len, uint32_t flag,
                                     SpiPictureInfo* info);
typedef int32_t (*SpiGetPicture)(const char* buf, intptr_t len, uint32_t flag, void** pHBInfo,
                                 void** pHBm, SpiProgressCallback progress, intptr_t data);

#ifdef __cplusplus
}
#endif

#endif
