// voz_trace.cpp -- call records through the trace facility, and the text
// trace writer with its hex dump.
#include "calls/voz_trace.hpp"

#include <cstring>
#include <ctime>
#include <string>

#include "cos_trace.hpp"

namespace {

constexpr CosEnTraceDetail kDetail = CosEnTraceDetail::MED;
constexpr uint16_t kComponent = 1;
const char kPrefix[] = "                 ";  // 17 blanks

void mark(const char* call, const char* what, const char* origin) {
    if (gs_pclCosTraceInstance == nullptr) return;
    const std::string text = std::string(call != nullptr ? call : "") + what;
    cosTraceDump(kDetail, kComponent, CosEnTraceDataType::CSTRING, origin,
                 text.c_str(), text.c_str(), (uint32_t)text.size());
}

// The line of hexdump for the bytes [0, n) of data at offset `off`.
void dumpLine(FILE* stream, const char* label, const uint8_t* data, int32_t n,
              int32_t off) {
    char line[80];
    memset(line, ' ', 78);
    line[78] = '\n';
    line[79] = 0;
    for (int i = 0; i < 8 && label != nullptr && label[i] != 0; ++i)
        line[i] = label[i];
    char offset[9];
    snprintf(offset, sizeof offset, "%08X", (unsigned)off);
    memcpy(line + 14, offset, 8);
    line[22] = ':';
    for (int32_t i = 0; i < n; ++i) {
        hexconv(line + 25 + (i / 4) * 9 + (i % 4) * 2, data[i]);
        line[61 + i] = data[i] < 32 || data[i] > 127 ? '.' : (char)data[i];
    }
    fputs(line, stream);
}

}  // namespace

bool vozTraceOn() { return gs_pclCosTraceInstance != nullptr; }

void vozTraceCallStart(const char* call, const char* origin) {
    mark(call, " start", origin);
}

void vozTraceArg(const char* name, const void* data, uint32_t length,
                 const char* origin) {
    if (gs_pclCosTraceInstance == nullptr) return;
    cosTraceDump(kDetail, kComponent, CosEnTraceDataType::DATA, origin, name,
                 data, data != nullptr ? length : 0);
}

void vozTraceText(const char* name, const char* text, const char* origin) {
    if (gs_pclCosTraceInstance == nullptr) return;
    cosTraceDump(kDetail, kComponent, CosEnTraceDataType::CSTRING, origin,
                 name, text, text != nullptr ? (uint32_t)strlen(text) : 0);
}

void vozTraceCallEnd(const char* call, const GTRSTATUS* gsp,
                     const char* origin) {
    if (gs_pclCosTraceInstance == nullptr) return;
    mark(call, " end", origin);
    if (gsp != nullptr) {
        vozTraceArg("(gsp)->retcode", &gsp->retcode, 4, origin);
        vozTraceArg("(gsp)->errcode", &gsp->errcode, 4, origin);
        vozTraceText("(gsp)->errfname1", gsp->errfname1, origin);
        vozTraceText("(gsp)->errfname2", gsp->errfname2, origin);
        vozTraceArg("(gsp)->retrieve_status", &gsp->retrieve_status, 1, origin);
        vozTraceArg("(gsp)->processed_index", &gsp->processed_index, 1, origin);
        vozTraceArg("(gsp)->system_errno", &gsp->system_errno, 4, origin);
    }
    if (gs_pclCosTraceInstance != nullptr) cosTraceFlush();
}

void hexconv(char* out, uint8_t b) {
    static const char digits[] = "0123456789ABCDEF";
    out[0] = digits[b >> 4];
    out[1] = digits[b & 15];
}

void hexdump(FILE* stream, const char* label, const void* data,
             int32_t length) {
    if (stream == nullptr || data == nullptr || length < 1) return;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    for (int32_t off = 0; off < length; off += 16) {
        const int32_t n = length - off < 16 ? length - off : 16;
        dumpLine(stream, label, p + off, n, off);
    }
}

void VOZ_traceNew(FILE* stream, const char* title, const char* label,
                  const void* data, int32_t length, int kind) {
    if (stream == nullptr) return;
    if (title != nullptr) {
        char when[32];
        const time_t now = time(nullptr);
        if (ctime_r(&now, when) == nullptr) strcpy(when, "\n");
        fprintf(stream, "%s=== %s === %s", kPrefix, title, when);
    }
    if (label != nullptr && label[0] != 0) {
        const unsigned long addr = (unsigned long)(uintptr_t)data;
        if (kind == VOZ_TRACE_KIND_INT8 || kind == VOZ_TRACE_KIND_INT16 ||
            kind == VOZ_TRACE_KIND_INT32) {
            fprintf(stream, "%s %s ((%08lx)) = ", kPrefix, label, addr);
            if (data == nullptr) {
                fputs("\n", stream);
            } else if (kind == VOZ_TRACE_KIND_INT8) {
                fprintf(stream, "%6d\n", (int)*(const int8_t*)data);
            } else if (kind == VOZ_TRACE_KIND_INT16) {
                int16_t v;
                memcpy(&v, data, sizeof v);
                fprintf(stream, "%6d\n", (int)v);
            } else {
                int32_t v;
                memcpy(&v, data, sizeof v);
                fprintf(stream, "%10ld\n", (long)v);
            }
        } else {
            fprintf(stream, "%s %s (%08lx)\n", kPrefix, label, addr);
            hexdump(stream, kPrefix, data, length);
        }
    }
    fflush(stream);
}

void VOZ_trace(FILE* stream, const char* title, const char* label,
               const void* data, int32_t length) {
    VOZ_traceNew(stream, title, label, data, length, 0);
}
