#ifndef FTPPROTOCOL_H
#define FTPPROTOCOL_H

#include <QByteArray>

// What an FTP server says on its control connection (RFC 959): everything
// here reads bytes that come from whatever answers at the typed address, so
// every reader is strict and bounded.
namespace FtpProtocol {

constexpr int maxLineSize = 4096;   // bytes of one line, without its end
constexpr int maxReplySize = 65536; // bytes of one reply, all lines together

// One reply: its three-digit code and its text, the lines of a multi-line
// reply joined by '\n' (without the code in front of the first and last).
struct Response
{
    int code = 0;
    QByteArray text;
};

// Splits the control connection's bytes into replies: one line "123 text",
// or lines from "123-text" to "123 text"; lines end in CRLF or a bare LF.
// An empty line between replies is passed over.
class ResponseReader
{
public:
    enum Status { Incomplete, Complete, Invalid };

    // Appends what the server sent. Once Invalid, the reader stays so.
    void append(const QByteArray &data);
    // Takes the next complete reply out of what was appended.
    Status next(Response *response);

private:
    Status takeLine(QByteArray *line);

    QByteArray buffer; // what the server sent, from `start` on not yet read
    int start = 0;
    Response pending;    // a multi-line reply being read
    int pendingSize = 0; // bytes of its lines so far
    bool inMultiLine = false;
    bool invalid = false;
};

// The data connection's port from a 227 reply's text, "... (h1,h2,h3,h4,p1,p2)":
// six numbers 0-255 separated by commas, each comma perhaps followed by
// blanks. The address in it is never used.
// Returns 0 when the text holds no such numbers.
quint16 passivePort(const QByteArray &text);

// The file size from a 213 reply's text: decimal digits, perhaps followed by
// blanks. -1 otherwise.
qint64 fileSize(const QByteArray &text);

} // namespace FtpProtocol

#endif // FTPPROTOCOL_H
