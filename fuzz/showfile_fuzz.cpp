#include "fuzzcheck.h"
#include "showjson.h"

#include <cstddef>
#include <cstdint>

// A project file or recovery copy that reads must write bytes that read to an equal show, and writing is stable.
static void checkRoundTrip(const Show& show, JsonFormat format)
{
    QByteArray written;
    try {
        written = encodeShow(show, format);
    } catch (const ShowJsonError&) {
        fuzzCheck(false, "a show that was read can be written");
    }
    Show again;
    try {
        again = decodeShow(written);
    } catch (const ShowJsonError&) {
        fuzzCheck(false, "written bytes read back");
    }
    fuzzCheck(again == show, "written bytes read to an equal show");
    fuzzCheck(encodeShow(again, format) == written, "writing the show read back gives the same bytes");
}

static void checkMapping(const QByteArray& bytes)
{
    ProjectorMapping mapping;
    try {
        mapping = decodeMapping(bytes);
    } catch (const ShowJsonError&) {
        return;
    }
    QByteArray written;
    try {
        written = encodeMapping(mapping);
        fuzzCheck(decodeMapping(written) == mapping, "a mapping that was read reads back equal");
    } catch (const ShowJsonError&) {
        fuzzCheck(false, "a mapping that was read can be written and read back");
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    checkMapping(bytes);
    Show show;
    try {
        show = decodeShow(bytes);
    } catch (const ShowJsonError&) {
        return 0;
    }
    checkRoundTrip(show, JsonFormat::pretty);
    checkRoundTrip(show, JsonFormat::compact);
    return 0;
}
