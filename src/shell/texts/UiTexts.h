#pragma once

#include <QString>
#include <QStringList>

// Texts that are the same in every language.
namespace texts {
// The application title: main window caption, instance name, caption of Custom dialogs.
QString applicationTitle();
QString englishLanguageItem();    // "English (USA)"
QString portugueseLanguageItem(); // "Português (Brasil)"
QString makerItem();              // Help menu item that opens the maker's web site
QString makerHost();              // its hint
QString makerWebSite();           // the address it opens
// Visible description and the patterns of the profile file dialogs; the patterns take both cases
// because Linux file names are case-sensitive.
QString profileFilterDescription();
QString profileFilter();
QString profileExtension(); // "ovs", without the dot
} // namespace texts

// Every language-dependent text of the main window, the About box and the message templates.
struct UiTexts
{
    // Menu captions, in menu order.
    QString fileMenu, connectItem, disconnectItem, loadItem, saveItem, exitItem, editItem, viewMenu,
        expandItem, collapseItem, refreshItem, toolsMenu, runItem, statsItem, reportItem, compactItem,
        windowMenu, structureItem, sqlItem, messagesItem, languageMenu, helpMenu, aboutItem;
    // Tool-button hints.
    QString hintConnect, hintDisconnect, hintExpand, hintCollapse, hintRefresh, hintLoad, hintSave, hintRun,
        hintStats, hintReport, hintAbout;
    // Tabs and buttons.
    QString structureTab, sqlTab, messagesTab, reportTab, printButton, clearLogButton;
    // Header row of the structure grid, columns 0 to 4.
    QStringList gridHeader;
    // Hints of the data navigator's ten buttons, in button order.
    QStringList navigatorHints;
    // The navigator's confirmation before a record is deleted.
    QString deleteRecordQuestion;
    // The status bar while rows arrive: the running count ("%1" takes it), and the button beside
    // it that stops the fetch, with its hint.
    QString fetchingRecords, cancelFetch, cancelFetchHint;
    // Hint of the structure grid (only while a spreadsheet application is available).
    QString gridHint;
    // About box.
    QString aboutCaption;
    QString versionWord; // the word this language uses on the version line
    QString legalNotice;
    // Data export: the Tools menu item, the save dialog's caption and file types (CSV, CSV with
    // a byte-order mark, workbook, JSON Lines), the question before a statement that may change
    // data runs again, and the log lines: %1 the file, %2 the row count or the error's text;
    // for a cut cell %1 the row and %2 the column, then %1 the count of further cut cells.
    QString exportItem, exportCaption, exportFilterCsv, exportFilterCsvBom, exportFilterWorkbook,
        exportFilterJsonLines, exportNothing, exportRerunQuestion, exportStarted, exportDone, exportCancelled,
        exportFailed, exportCut, exportCutMore;
    // A change of the grid dropped unwritten because the session was lost: %1 the table, %2 the
    // row's key (or the words for a new row), %3 what was typed.
    QString lostChangeDropped, newRowKey;
    // How a session reaches its database, logged after connecting: encrypted (%1 protocol, %2
    // cipher) with its certificate verified for a host (%1), its chain only, or not; not encrypted
    // (%1 the host); not told by the driver; through an SSH tunnel (%1 its destination), beyond
    // which the session runs without TLS (%1 the database's host). The
    // caption's mark of a session that crosses the network in clear.
    QString securityEncrypted, securityVerifiedFor, securityChainVerified, securityNotVerified,
        securityNotEncrypted, securityUnknown, securityTunnel, securityBeyondTunnel, captionNotEncrypted;
    // Questions on the way to a server: an SSH server's unknown host key (%1 the server, %2 the
    // key's fingerprint); the password dialog's caption and its texts for a database (%1 user,
    // %2 where), an SSH key's passphrase (%1 the key file), an SSH password (%1 the server) and
    // any other question of the SSH server (%1 the server, %2 its text); the keyring option and
    // why it is unavailable; the log line when no password was given; the save flow's question
    // whether the profile keeps its password ("[%s]" the file).
    QString hostKeyQuestion, passwordCaption, passwordForDatabase, passphraseForKey, passwordForSsh,
        sshQuestion, rememberInKeyring, keyringNeedsProfile, keyringNoBus, keyringNoService, keyringNoAnswer,
        noPasswordGiven, keepPasswordQuestion;
    // Message templates; "[%s]" takes one file path.
    QString saveAsQuestion, fileExistsQuestion, undefinedName, compactQuestion, sendToSpreadsheetQuestion,
        fileNotFoundText, cannotRenameText, cannotDeleteText, reportingText, waitText, readyText;
};

const UiTexts &englishTexts();
const UiTexts &portugueseTexts();
// English exactly when language is "en-US"; any other value selects Portuguese.
const UiTexts &textsFor(const QString &language);

// Texts of the message dialogs.
namespace dialogtexts {
// English dialog: caption by DialogKind 0..3 (Custom takes the application title).
QString englishCaption(int kind);
// Portuguese caption by DialogKind 0..3.
QString portugueseCaption(int kind);
// English dialog labels by button bit 0..11, '&' before the accelerator letter.
QString englishLabel(int bit);
// Portuguese labels of the relabelled dialog, by DialogResult 1..10.
QString portugueseLabel(int result);
// Labels of the system's own message box, which speaks the system language and has no
// accelerators; indexed by DialogResult 1..7, and 0 for Help.
QString systemBoxLabel(int result, bool systemIsPortuguese);
} // namespace dialogtexts
