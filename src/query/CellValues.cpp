#include "query/CellValues.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QTime>

#include <algorithm>
#include <cmath>

namespace {

bool isIntegerType(AdoType t)
{
    switch (t) {
    case AdoType::SmallInt:
    case AdoType::Integer:
    case AdoType::TinyInt:
    case AdoType::UnsignedTinyInt:
    case AdoType::UnsignedSmallInt:
    case AdoType::UnsignedInt:
    case AdoType::BigInt:
    case AdoType::UnsignedBigInt:
        return true;
    default:
        return false;
    }
}

bool isApproximateType(AdoType t)
{
    return t == AdoType::Single || t == AdoType::Double;
}

bool isExactDecimalType(AdoType t)
{
    return t == AdoType::Decimal || t == AdoType::Numeric || t == AdoType::VarNumeric ||
           t == AdoType::Currency;
}

bool isShortTextType(AdoType t)
{
    switch (t) {
    case AdoType::BSTR:
    case AdoType::Char:
    case AdoType::WChar:
    case AdoType::VarChar:
    case AdoType::VarWChar:
        return true;
    default:
        return false;
    }
}

bool isTextType(AdoType t)
{
    return isShortTextType(t) || t == AdoType::Empty || t == AdoType::LongVarChar ||
           t == AdoType::LongVarWChar || t == AdoType::Variant;
}

// Locales read numbers without group separators: "1.500" must never silently become 1500.
QLocale strict(QLocale locale)
{
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

QString notANumber(const QString &typed, const QString &column)
{
    return QStringLiteral("\"%1\" is not a number, and the column %2 holds numbers; nothing was changed.")
        .arg(typed, column);
}

// An exact decimal keeps all its digits: it is checked and handed on as text in the C form.
QString decimalText(const QString &typed, const QLocale &locale)
{
    static const QRegularExpression form(QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)([eE][+-]?\\d+)?$"));
    QString text = typed;
    const QString point = locale.decimalPoint();
    if (point != QLatin1String(".") && text.contains(point)) {
        if (text.contains(QLatin1Char('.')))
            return QString();
        text.replace(point, QLatin1String("."));
    }
    return form.match(text).hasMatch() ? text : QString();
}

} // namespace

namespace CellValues {

QLocale localeForLanguage(const QString &language)
{
    if (language == QLatin1String("pt-BR"))
        return strict(QLocale(QLocale::Portuguese, QLocale::Brazil));
    return strict(QLocale(QLocale::English, QLocale::UnitedStates));
}

QVariant parse(AdoType type, const QString &column, const QVariant &typed, const QLocale &given)
{
    if (typed.typeId() != QMetaType::QString || isTextType(type))
        return typed;
    const QString text = typed.toString().trimmed();
    if (text.isEmpty())
        return QVariant();
    const QLocale locale = strict(given);
    const QLocale c = strict(QLocale::c());
    bool ok = false;
    if (isIntegerType(type)) {
        qlonglong n = locale.toLongLong(text, &ok);
        if (!ok)
            n = c.toLongLong(text, &ok);
        if (!ok)
            throw AppError(notANumber(text, column));
        return n;
    }
    if (isApproximateType(type)) {
        double d = locale.toDouble(text, &ok);
        if (!ok)
            d = c.toDouble(text, &ok);
        if (!ok)
            throw AppError(notANumber(text, column));
        return d;
    }
    if (isExactDecimalType(type)) {
        const QString decimal = decimalText(text, locale);
        if (decimal.isEmpty())
            throw AppError(notANumber(text, column));
        return decimal;
    }
    if (type == AdoType::Boolean) {
        const QString t = text.toLower();
        if (t == QLatin1String("true") || t == QLatin1String("1") || t == QLatin1String("yes"))
            return true;
        if (t == QLatin1String("false") || t == QLatin1String("0") || t == QLatin1String("no"))
            return false;
        throw AppError(
            QStringLiteral("\"%1\" is neither True nor False, and the column %2 holds yes/no values; nothing "
                           "was changed.")
                .arg(text, column));
    }
    // Dates and other types go to the database as text, which converts them or says why not.
    return text;
}

QString text(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(v.toDouble(), 'g', 15);
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.toString(dt.time().msec() ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")
                                            : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QTime:
        return v.toTime().toString(QStringLiteral("HH:mm:ss"));
    default:
        return v.toString();
    }
}

QString editText(AdoType type, const QVariant &value, const QLocale &given)
{
    if (value.isNull())
        return QString();
    const QLocale locale = strict(given);
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        // The shortest text that reads back as the same number: nothing is rounded away.
        return locale.toString(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::QString:
        if (isExactDecimalType(type) && !decimalText(value.toString(), QLocale::c()).isEmpty()) {
            QString decimal = value.toString();
            return decimal.replace(QLatin1Char('.'), locale.decimalPoint());
        }
        return value.toString();
    default:
        return text(value);
    }
}

bool breaksLine(QChar c)
{
    switch (c.unicode()) {
    case u'\n':
    case u'\r':
    case u'\t':
    case u'\v':
    case u'\f':
    case 0x85:   // next line
    case 0x2028: // line separator
    case 0x2029: // paragraph separator
        return true;
    default:
        return false;
    }
}

bool fitsOneLine(const QString &text, int maxLength)
{
    return text.size() <= maxLength && std::none_of(text.begin(), text.end(), breaksLine);
}

bool same(AdoType type, const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    if (isApproximateType(type)) {
        bool okA = false;
        bool okB = false;
        const double x = a.toDouble(&okA);
        const double y = b.toDouble(&okB);
        if (okA && okB) {
            if (type == AdoType::Single)
                return float(x) == float(y);
            // Fifteen significant digits survive any trip through text.
            return x == y || std::fabs(x - y) <= 1e-14 * std::fmax(std::fabs(x), std::fabs(y));
        }
    }
    return a == b;
}

bool comparableOnServer(AdoType type, SqlDialect dialect)
{
    // SQLite compares every stored value exactly, floating-point and binary values included.
    if (dialect == SqlDialect::Sqlite)
        return true;
    return isIntegerType(type) || isExactDecimalType(type) || isShortTextType(type) ||
           type == AdoType::Boolean || type == AdoType::GUID;
}

} // namespace CellValues
