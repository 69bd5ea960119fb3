// Connection strings come from profile files and from the user: the parser must never crash,
// what it composes must parse back to the same pairs, and the text the log shows must hold no
// secret the parser would hand to a backend.
#include "connection/PasswordMask.h"
#include "db/ConnectionString.h"
#include "db/DataAccess.h"

#include <cstdint>
#include <cstdlib>

namespace {

// The masked text reads back as the same entries, with every secret value "***" and every
// nested string masked the same way; no secret value (of four characters or more) shows up
// anywhere in it unless the original held that text outside its secrets too.
void checkMasked(const QString &original, const QString &masked, int depth)
{
    const ConnectionStringTokens before = tokenizeConnectionString(original);
    const ConnectionStringTokens after = tokenizeConnectionString(masked);
    if (before.tokens.size() != after.tokens.size())
        std::abort();

    QString outsideSecrets = original;
    for (qsizetype i = before.tokens.size() - 1; i >= 0; --i) {
        const ConnectionStringToken &a = before.tokens[i];
        const ConnectionStringToken &b = after.tokens[i];
        if (a.name != b.name)
            std::abort();
        if (isSecretConnectionStringName(a.name)) {
            if (b.value != QStringLiteral("***"))
                std::abort();
            outsideSecrets.replace(a.valueStart, a.valueEnd - a.valueStart, QStringLiteral("\x01"));
        } else if (a.value != b.value) {
            if (!holdsConnectionString(a.name))
                std::abort();
            if (depth < 4)
                checkMasked(a.value, b.value, depth + 1);
            // Checked on its own level just above; what it shows is allowed here.
            outsideSecrets.replace(a.valueStart, a.valueEnd - a.valueStart,
                                   masked.mid(b.valueStart, b.valueEnd - b.valueStart));
        }
    }
    for (const ConnectionStringToken &a : before.tokens) {
        // Short values and stars turn up in any text ("***" itself).
        const bool telling = a.value.size() >= 4 && !a.value.contains(u'*');
        if (isSecretConnectionStringName(a.name) && telling && !outsideSecrets.contains(a.value) &&
            masked.contains(a.value))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    checkMasked(text, maskPasswords(text), 0);

    ConnectionStringPairs pairs;
    try {
        pairs = parseConnectionString(text);
    } catch (const DataAccessError &) {
        return 0;
    }
    const QString composed = composeConnectionString(pairs);
    try {
        if (parseConnectionString(composed) != pairs)
            std::abort();
    } catch (const DataAccessError &) {
        std::abort();
    }
    return 0;
}
