#pragma once

#include <QString>

class ConnectionString;

// How a network backend protects its session, as the connection string asks:
//   SSL Mode=disable|allow|prefer|require|verify-ca|verify-full
//   SSL CA File=<PEM file of the certificates the server's must chain to>
//   SSL Cert File=<client certificate>, SSL Key File=<its private key>
// The modes are PostgreSQL's: require encrypts without checking who answers; verify-ca checks
// the chain; verify-full checks the chain and that the certificate names the host connected to.
// A string without these keys gives Unset: each backend then behaves as it always has.
struct TlsSettings
{
    enum class Mode { Unset, Disable, Allow, Prefer, Require, VerifyCa, VerifyFull };

    Mode mode = Mode::Unset;
    QString caFile;
    QString certFile;
    QString keyFile;

    // Throws DataAccessError for a mode that is not one of the above.
    static TlsSettings fromConnectionString(const ConnectionString &cs);

    bool verifies() const { return mode == Mode::VerifyCa || mode == Mode::VerifyFull; }
    bool insists() const { return mode == Mode::Require || verifies(); }
    // The CA file to trust: the one given, else the system's store for a verifying mode (a
    // managed service's certificate chains to a public CA). Throws when neither exists.
    QString trustedCaFile() const;

    // The client library's text of a failed connect, with what it leaves unsaid for the
    // usual failures of a verifying mode: which CA file the chain did not reach, which host the
    // certificate does not name.
    QString explainFailure(const QString &text, const QString &host) const;

    static QString modeName(Mode mode); // "verify-full", ...; "" for Unset
    // Names of the keys, for the dialog and the README.
    static const char *const ModeKey;
    static const char *const CaFileKey;
    static const char *const CertFileKey;
    static const char *const KeyFileKey;
};

// Where Debian keeps the system's trusted certificates as one PEM file.
QString systemCaBundle();
