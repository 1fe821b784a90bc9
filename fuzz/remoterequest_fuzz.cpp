#include "fuzzcheck.h"
#include "remoterequest.h"

#include <cstddef>
#include <cstdint>

// A request the decoder accepts must mean the same when written again: its encoding decodes to an equal request,
// and encoding that gives the same bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<RemoteRequest> request = RemoteRequest::decode(bytes);
    if (!request)
        return 0;
    const QByteArray written = request->encode();
    fuzzCheck(!written.isEmpty(), "an accepted request can be written");
    fuzzCheck(!written.contains('\n'), "a written request fits on one line");
    const std::optional<RemoteRequest> again = RemoteRequest::decode(written);
    fuzzCheck(again.has_value(), "a written request is accepted");
    fuzzCheck(*again == *request, "a written request decodes to an equal request");
    fuzzCheck(again->encode() == written, "writing a request is stable");
    return 0;
}
