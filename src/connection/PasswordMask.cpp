#include "connection/PasswordMask.h"

#include "db/ConnectionString.h"

namespace {

const QString kMask = QStringLiteral("***");

// Values nested deeper than this are not read further; one that still names a secret is
// masked whole.
constexpr int kMaxDepth = 4;

bool mentionsSecret(const QString &text)
{
    return text.contains(QLatin1String("PWD"), Qt::CaseInsensitive) ||
           text.contains(QLatin1String("PASSWORD"), Qt::CaseInsensitive);
}

QString masked(const QString &text, int depth)
{
    const ConnectionStringTokens read = tokenizeConnectionString(text);
    QString out;
    out.reserve(text.size());
    qsizetype pos = 0;
    for (const ConnectionStringToken &token : read.tokens) {
        QString replacement;
        if (isSecretConnectionStringName(token.name)) {
            replacement = kMask;
        } else if (holdsConnectionString(token.name)) {
            if (depth >= kMaxDepth) {
                if (!mentionsSecret(token.value))
                    continue;
                replacement = kMask;
            } else {
                const QString inner = masked(token.value, depth + 1);
                if (inner == token.value)
                    continue;
                replacement = quoteConnectionStringValue(inner);
            }
        } else {
            continue;
        }
        out += QStringView(text).mid(pos, token.valueStart - pos);
        out += replacement;
        pos = token.valueEnd;
    }
    out += QStringView(text).mid(pos);
    return out;
}

} // namespace

QString maskPasswords(const QString &connectionString)
{
    return masked(connectionString, 0);
}
