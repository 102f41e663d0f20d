#include "ftpprotocol.h"

namespace FtpProtocol {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The code of a reply's first or last line: three digits, the first 1 to 5.
int codeOf(const QByteArray &line)
{
    if (line.size() < 3 || line[0] < '1' || line[0] > '5' || !isDigit(line[1]) || !isDigit(line[2]))
        return 0;
    return line.left(3).toInt();
}

// Reads a number of 1 to 3 digits at `position`, no more than 255.
int readOctet(const QByteArray &text, int *position)
{
    int value = 0;
    int digits = 0;
    while (*position < text.size() && isDigit(text[*position]) && digits < 4) {
        value = value * 10 + (text[*position] - '0');
        ++*position;
        ++digits;
    }
    return digits >= 1 && digits <= 3 && value <= 255 ? value : -1;
}

} // namespace

void ResponseReader::append(const QByteArray &data)
{
    if (invalid)
        return;
    buffer.remove(0, start);
    start = 0;
    buffer += data;
}

ResponseReader::Status ResponseReader::takeLine(QByteArray *line)
{
    const int end = buffer.indexOf('\n', start);
    if (end < 0)
        return buffer.size() - start > maxLineSize + 1 ? Invalid : Incomplete;
    const int size = (end > start && buffer[end - 1] == '\r' ? end - 1 : end) - start;
    if (size > maxLineSize)
        return Invalid;
    *line = buffer.mid(start, size);
    start = end + 1;
    return Complete;
}

ResponseReader::Status ResponseReader::next(Response *response)
{
    while (!invalid) {
        QByteArray line;
        const Status status = takeLine(&line);
        if (status == Incomplete)
            return Incomplete;
        if (status == Invalid)
            break;
        if (line.isEmpty() && !inMultiLine)
            continue; // a blank line between replies says nothing
        const int code = codeOf(line);
        const bool last = code != 0 && (line.size() == 3 || line[3] == ' ');
        if (inMultiLine) {
            pendingSize += line.size() + 1;
            if (pendingSize > maxReplySize)
                break;
            if (last && code == pending.code) {
                *response = {code, pending.text + '\n' + line.mid(4)};
                inMultiLine = false;
                return Complete;
            }
            pending.text += '\n' + line;
        } else if (last) {
            *response = {code, line.mid(4)};
            return Complete;
        } else if (code != 0 && line[3] == '-') {
            inMultiLine = true;
            pending = {code, line.mid(4)};
            pendingSize = line.size();
        } else {
            break;
        }
    }
    invalid = true;
    buffer.clear();
    start = 0;
    pending = {};
    return Invalid;
}

quint16 passivePort(const QByteArray &text)
{
    int position = 0;
    while (position < text.size() && !isDigit(text[position]))
        ++position;
    int numbers[6];
    for (int i = 0; i < 6; ++i) {
        if (i > 0 && (position >= text.size() || text[position++] != ','))
            return 0;
        while (i > 0 && position < text.size() && text[position] == ' ')
            ++position;
        numbers[i] = readOctet(text, &position);
        if (numbers[i] < 0)
            return 0;
    }
    return quint16(numbers[4] * 256 + numbers[5]);
}

qint64 fileSize(const QByteArray &text)
{
    int size = text.size();
    while (size > 0 && text[size - 1] == ' ')
        --size;
    const QByteArray digits = text.left(size);
    if (digits.isEmpty() || digits.size() > 18)
        return -1;
    for (char c : digits) {
        if (!isDigit(c))
            return -1;
    }
    return digits.toLongLong();
}

} // namespace FtpProtocol
