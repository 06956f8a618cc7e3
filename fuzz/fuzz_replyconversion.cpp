// Any bytes a module may send as the reply to a query, through the conversion of
// every kind of store field. A field whose value does not convert keeps what it held.

#include "commandframing.h"
#include "fuzzcheck.h"

#include <QRegExp>

#include <cmath>
#include <cstdint>

namespace {

void checkValue(const QByteArray &reply, const QString &value)
{
    if (value.isNull())
        return;
    FUZZ_CHECK(!value.isEmpty());
    FUZZ_CHECK(!value.contains(QRegExp(QStringLiteral("[=\r\n]"))));
    FUZZ_CHECK(ReplyConversion::text(reply).contains(value));
    FUZZ_CHECK(!value.contains(QChar(0)));
}

void checkInteger(const QString &value)
{
    int field = 12345;
    const bool converted = ReplyConversion::toInt(value, field);
    if (!converted) {
        FUZZ_CHECK(field == 12345);
        return;
    }
    bool ok = false;
    FUZZ_CHECK(value.trimmed().toInt(&ok, 10) == field && ok);
}

void checkBoolean(const QString &value)
{
    for (const bool previous : {false, true}) {
        bool field = previous;
        int asInteger = 0;
        const bool converted = ReplyConversion::toBool(value, field);
        FUZZ_CHECK(converted == ReplyConversion::toInt(value, asInteger));
        FUZZ_CHECK(field == (converted ? asInteger != 0 : previous));
    }
}

void checkDouble(const QString &value)
{
    double field = -4321.5;
    if (!ReplyConversion::toDouble(value, field))
        FUZZ_CHECK(field == -4321.5);
}

void checkAddress(const QString &value)
{
    const QHostAddress address = ReplyConversion::toAddress(value);
    FUZZ_CHECK(address.isNull() || address.protocol() == QAbstractSocket::IPv4Protocol
               || address.protocol() == QAbstractSocket::IPv6Protocol);
    if (value.isNull())
        FUZZ_CHECK(address.isNull());
}

void checkText(const QString &value)
{
    QString field = QStringLiteral("previous");
    const bool taken = ReplyConversion::toText(value, field);
    FUZZ_CHECK(taken == !value.isNull());
    FUZZ_CHECK(field == (taken ? value : QStringLiteral("previous")));
}

void checkConfig(const QString &value)
{
    for (const int previous : {-1, 7}) {
        int moduleId = previous;
        int axisNum = previous;
        ReplyConversion::toConfig(value, moduleId, axisNum);
        FUZZ_CHECK(moduleId == previous || (moduleId >= 0 && moduleId <= 15));
        FUZZ_CHECK(axisNum == previous || (axisNum >= 1 && axisNum <= 16));
    }
}

void checkRefOffset(const QString &value)
{
    FUZZ_CHECK(std::isnan(ReplyConversion::toRefOffset(value, false)));
    const double offset = ReplyConversion::toRefOffset(value, true);
    double converted = 0.0;
    if (ReplyConversion::toDouble(value, converted))
        FUZZ_CHECK(offset == converted || (std::isnan(offset) && std::isnan(converted)));
    else
        FUZZ_CHECK(std::isnan(offset));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray reply(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const QString value = ReplyConversion::value(reply);
    checkValue(reply, value);
    checkInteger(value);
    checkBoolean(value);
    checkDouble(value);
    checkAddress(value);
    checkText(value);
    checkConfig(value);
    checkRefOffset(value);
    return 0;
}
