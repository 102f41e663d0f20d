#include "ftpprotocol.h"

#include <QtTest>

using FtpProtocol::Response;
using FtpProtocol::ResponseReader;

namespace {
// The replies read from `input`, fed a byte at a time or all at once, as
// "code text" with the lines of a text joined by '/'; "invalid" last when
// the reader gave up.
QStringList read(const QByteArray &input, bool byteByByte)
{
    ResponseReader reader;
    QStringList replies;
    const int piece = byteByByte ? 1 : qMax(1, input.size());
    for (int start = 0; start < input.size(); start += piece) {
        reader.append(input.mid(start, piece));
        Response response;
        ResponseReader::Status status;
        while ((status = reader.next(&response)) == ResponseReader::Complete)
            replies << QString::number(response.code) + ' ' + QString(response.text).replace('\n', '/');
        if (status == ResponseReader::Invalid)
            return replies << "invalid";
    }
    return replies;
}
} // namespace

// The readers of what a server says on its control connection, alone.
class tst_FtpProtocol : public QObject
{
    Q_OBJECT

private slots:
    void replies_data();
    void replies();
    void passivePort_data();
    void passivePort();
    void fileSize_data();
    void fileSize();
};

void tst_FtpProtocol::replies_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("expected");
    const QByteArray longLine(FtpProtocol::maxLineSize - 4, 'x');
    QTest::newRow("one line") << QByteArray("220 Ready\r\n") << QStringList {"220 Ready"};
    QTest::newRow("bare LF") << QByteArray("220 Ready\n331 Password\n")
                             << QStringList {"220 Ready", "331 Password"};
    QTest::newRow("code alone") << QByteArray("230\r\n") << QStringList {"230 "};
    QTest::newRow("multi-line") << QByteArray("220-Welcome\r\n220-to the module\r\n220 Ready\r\n")
                                << QStringList {"220 Welcome/220-to the module/Ready"};
    QTest::newRow("other codes inside a multi-line reply")
        << QByteArray("211-Features\r\n 227 inside\r\n230 not the end\r\n211 End\r\n")
        << QStringList {"211 Features/ 227 inside/230 not the end/End"};
    QTest::newRow("blank line between replies")
        << QByteArray("220 Ready\r\n\r\n230 In\r\n") << QStringList {"220 Ready", "230 In"};
    QTest::newRow("blank line inside a multi-line reply")
        << QByteArray("220-A\r\n\r\n220 B\r\n") << QStringList {"220 A//B"};
    QTest::newRow("incomplete") << QByteArray("220 Rea") << QStringList();
    QTest::newRow("not FTP") << QByteArray("HTTP/1.1 400\r\n") << QStringList {"invalid"};
    QTest::newRow("code out of range") << QByteArray("620 Hello\r\n") << QStringList {"invalid"};
    QTest::newRow("blank line, then garbage") << QByteArray("\r\nhello\r\n") << QStringList {"invalid"};
    QTest::newRow("longest line") << "220 " + longLine + "\r\n" << QStringList {"220 " + longLine};
    QTest::newRow("line too long") << "220 " + longLine + "x\r\n" << QStringList {"invalid"};
    QTest::newRow("line that never ends") << "220 " + longLine + "xx" << QStringList {"invalid"};
    QByteArray endless = "220-Welcome\r\n";
    for (int i = 0; i < 4000; ++i)
        endless += "220-Welcome to the module, once more.\r\n";
    QTest::newRow("multi-line reply over 64 KiB") << endless << QStringList {"invalid"};
}

void tst_FtpProtocol::replies()
{
    QFETCH(QByteArray, input);
    QFETCH(QStringList, expected);
    QCOMPARE(read(input, false), expected);
    QCOMPARE(read(input, true), expected);
}

void tst_FtpProtocol::passivePort_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("port");
    QTest::newRow("usual") << QByteArray("Entering Passive Mode (127,0,0,1,195,80).") << 195 * 256 + 80;
    QTest::newRow("no parentheses") << QByteArray("Passive 10,0,0,9,4,1") << 1025;
    QTest::newRow("blanks after the commas")
        << QByteArray("Passive (127, 0, 0, 1, 195, 80)") << 195 * 256 + 80;
    QTest::newRow("blank before a comma") << QByteArray("Passive (127,0,0,1 ,195,80)") << 0;
    QTest::newRow("number over 255") << QByteArray("Passive (300,0,0,1,4,1)") << 0;
    QTest::newRow("four digits") << QByteArray("Passive (0127,0,0,1,4,1)") << 0;
    QTest::newRow("five numbers") << QByteArray("Passive (127,0,0,1,4)") << 0;
    QTest::newRow("no numbers") << QByteArray("(") << 0;
}

void tst_FtpProtocol::passivePort()
{
    QFETCH(QByteArray, text);
    QFETCH(int, port);
    QCOMPARE(int(FtpProtocol::passivePort(text)), port);
}

void tst_FtpProtocol::fileSize_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("size");
    QTest::newRow("digits") << QByteArray("350") << qint64(350);
    QTest::newRow("zero") << QByteArray("0") << qint64(0);
    QTest::newRow("blanks after") << QByteArray("350  ") << qint64(350);
    QTest::newRow("blank before") << QByteArray(" 350") << qint64(-1);
    QTest::newRow("sign") << QByteArray("+350") << qint64(-1);
    QTest::newRow("words after") << QByteArray("350 bytes") << qint64(-1);
    QTest::newRow("empty") << QByteArray() << qint64(-1);
    QTest::newRow("only blanks") << QByteArray("   ") << qint64(-1);
    QTest::newRow("19 digits") << QByteArray("1234567890123456789") << qint64(-1);
}

void tst_FtpProtocol::fileSize()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, size);
    QCOMPARE(FtpProtocol::fileSize(text), size);
}

QTEST_GUILESS_MAIN(tst_FtpProtocol)
#include "tst_ftpprotocol.moc"
