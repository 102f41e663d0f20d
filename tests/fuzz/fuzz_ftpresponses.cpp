// libFuzzer target: the FTP client's readers of what a server sends. The
// replies read must be the same whether the bytes arrive at once or in
// pieces, each within its bounds; the 227 and 213 readers must not fail.

#include "ftpprotocol.h"

#include <QList>

#include <cstdlib>

namespace {

using FtpProtocol::Response;
using FtpProtocol::ResponseReader;

// The replies read from `input` arriving in pieces of `piece` bytes, and
// whether the reader ended by finding the input invalid.
QList<Response> readAll(const QByteArray &input, int piece, bool *invalid)
{
    ResponseReader reader;
    QList<Response> responses;
    *invalid = false;
    for (int start = 0; start < input.size() && !*invalid; start += piece) {
        reader.append(input.mid(start, piece));
        Response response;
        ResponseReader::Status status;
        while ((status = reader.next(&response)) == ResponseReader::Complete)
            responses.append(response);
        *invalid = status == ResponseReader::Invalid;
    }
    return responses;
}

void check(bool condition)
{
    if (!condition)
        std::abort(); // libFuzzer keeps the input
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int piece = 1 + data[0] % 64;
    const QByteArray input(reinterpret_cast<const char *>(data + 1), int(size - 1));

    bool invalidAtOnce = false;
    bool invalidInPieces = false;
    const QList<Response> atOnce = readAll(input, qMax(1, input.size()), &invalidAtOnce);
    const QList<Response> inPieces = readAll(input, piece, &invalidInPieces);
    check(invalidAtOnce == invalidInPieces && atOnce.size() == inPieces.size());
    for (int i = 0; i < atOnce.size(); ++i) {
        check(atOnce[i].code == inPieces[i].code && atOnce[i].text == inPieces[i].text);
        check(atOnce[i].code >= 100 && atOnce[i].code <= 599);
        check(atOnce[i].text.size() <= FtpProtocol::maxReplySize);
        FtpProtocol::passivePort(atOnce[i].text);
        check(FtpProtocol::fileSize(atOnce[i].text) >= -1);
    }
    FtpProtocol::passivePort(input);
    FtpProtocol::fileSize(input);
    return 0;
}
