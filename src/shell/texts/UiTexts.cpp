#include "shell/texts/UiTexts.h"

namespace texts {
QString applicationTitle()
{
    return QStringLiteral("Orvessa");
}
QString englishLanguageItem()
{
    return QStringLiteral("English (USA)");
}
QString portugueseLanguageItem()
{
    return QStringLiteral(u"Português (Brasil)");
}
QString makerItem()
{
    return QStringLiteral("Pelmora");
}
QString makerHost()
{
    return QStringLiteral("pelmora.example");
}
QString makerWebSite()
{
    return QStringLiteral("https://pelmora.example/");
}
QString profileFilterDescription()
{
    return QStringLiteral("Orvessa (*.ovs)");
}
QString profileFilter()
{
    return profileFilterDescription() + QStringLiteral(" (*.ovs *.OVS)");
}
QString profileExtension()
{
    return QStringLiteral("ovs");
}
} // namespace texts

namespace {
UiTexts makeEnglish()
{
    UiTexts t;
    t.fileMenu = QStringLiteral("File");
    t.connectItem = QStringLiteral("Connect");
    t.disconnectItem = QStringLiteral("Disconnect");
    t.loadItem = QStringLiteral("Load");
    t.saveItem = QStringLiteral("Save");
    t.exitItem = QStringLiteral("Exit");
    t.editItem = QStringLiteral("Edit");
    t.viewMenu = QStringLiteral("View");
    t.expandItem = QStringLiteral("Expand");
    t.collapseItem = QStringLiteral("Collapse");
    t.refreshItem = QStringLiteral("Refresh");
    t.toolsMenu = QStringLiteral("Tools");
    t.runItem = QStringLiteral("Run");
    t.statsItem = QStringLiteral("Stats");
    t.reportItem = QStringLiteral("Report");
    t.compactItem = QStringLiteral("Compact");
    t.windowMenu = QStringLiteral("Window");
    t.structureItem = QStringLiteral("Structure");
    t.sqlItem = QStringLiteral("SQL");
    t.messagesItem = QStringLiteral("Messages");
    t.languageMenu = QStringLiteral("Language");
    t.helpMenu = QStringLiteral("Help");
    t.aboutItem = QStringLiteral("About...");

    t.hintConnect = QStringLiteral("Connect");
    t.hintDisconnect = QStringLiteral("Disconnect");
    t.hintExpand = QStringLiteral("Expand");
    t.hintCollapse = QStringLiteral("Collapse");
    t.hintRefresh = QStringLiteral("Refresh");
    t.hintLoad = QStringLiteral("Load");
    t.hintSave = QStringLiteral("Save");
    t.hintRun = QStringLiteral("Run");
    t.hintStats = QStringLiteral("Stats");
    t.hintReport = QStringLiteral("Report");
    t.hintAbout = QStringLiteral("About...");

    t.structureTab = QStringLiteral("Structure");
    t.sqlTab = QStringLiteral("SQL");
    t.messagesTab = QStringLiteral("Messages");
    t.reportTab = QStringLiteral("Report");
    t.printButton = QStringLiteral("Print");
    t.clearLogButton = QStringLiteral("Clear");

    t.gridHeader = {QString(), QStringLiteral("Column"), QStringLiteral("Type"), QStringLiteral("Len"),
                    QStringLiteral("Attributes")};
    t.navigatorHints = {QStringLiteral("First record"),  QStringLiteral("Prior record"),
                        QStringLiteral("Next record"),   QStringLiteral("Last record"),
                        QStringLiteral("Insert record"), QStringLiteral("Delete record"),
                        QStringLiteral("Edit record"),   QStringLiteral("Post edit"),
                        QStringLiteral("Cancel edit"),   QStringLiteral("Refresh data")};
    t.deleteRecordQuestion = QStringLiteral("Delete record?");
    t.fetchingRecords = QStringLiteral(" Fetching records: %1...");
    t.cancelFetch = QStringLiteral("Cancel");
    t.cancelFetchHint = QStringLiteral("Stop fetching records (Esc); the records fetched so far stay");

    t.gridHint = QStringLiteral(u"Double click to send to Microsoft® Excel");
    t.aboutCaption = QStringLiteral("About this software");
    t.versionWord = QStringLiteral("Version");
    t.legalNotice = QStringLiteral(
        "This program is protected by copyright law and international treaties. Unauthorised use, "
        "reproduction or distribution of this program, or of any part of it, is forbidden and may "
        "result in civil and criminal penalties.");

    t.exportItem = QStringLiteral(u"Export data…");
    t.exportCaption = QStringLiteral("Export data");
    t.exportFilterCsv = QStringLiteral("CSV (*.csv *.CSV)");
    t.exportFilterCsvBom = QStringLiteral("CSV for spreadsheets, with BOM (*.csv *.CSV)");
    t.exportFilterWorkbook = QStringLiteral("Excel workbook (*.xlsx *.XLSX)");
    t.exportFilterJsonLines = QStringLiteral("JSON Lines (*.jsonl *.JSONL)");
    t.exportNothing = QStringLiteral("Nothing to export: run a query, or select a table in the tree.");
    t.exportRerunQuestion =
        QStringLiteral("The statement runs again to export its rows, and it may change data. Run it again?");
    t.exportStarted = QStringLiteral("Exporting data to file [%1].");
    t.exportDone = QStringLiteral("Rows exported to file [%1]: %2.");
    t.exportCancelled = QStringLiteral("Export to file [%1] cancelled; no file was written.");
    t.exportFailed = QStringLiteral("Export to file [%1] failed; no file was written: %2");
    t.exportCut =
        QStringLiteral("Row %1, column %2: text cut to the 32,767 characters a worksheet cell holds.");
    t.exportCutMore = QStringLiteral("%1 more cells were cut.");
    t.lostChangeDropped =
        QStringLiteral("The session was lost before the change to %1 (%2) was saved: it was "
                       "not written. What was typed: %3");
    t.newRowKey = QStringLiteral("a new row");

    t.securityEncrypted = QStringLiteral("Connection encrypted (%1, %2)");
    t.securityVerifiedFor = QStringLiteral("server certificate verified for %1");
    t.securityChainVerified =
        QStringLiteral("server certificate verified (its chain; the host name was not checked)");
    t.securityNotVerified = QStringLiteral("server certificate not verified");
    t.securityNotEncrypted = QStringLiteral("Connection not encrypted (%1)");
    t.securityUnknown = QStringLiteral("The driver does not tell whether the connection is encrypted");
    t.securityTunnel = QStringLiteral("Through the SSH tunnel %1 (host key checked against known_hosts)");
    t.securityBeyondTunnel = QStringLiteral("from the SSH server on to %1 the session is not encrypted");
    t.captionNotEncrypted = QStringLiteral("[not encrypted]");
    t.hostKeyQuestion = QStringLiteral(
        "The SSH server %1 is not known: its host key is not in known_hosts.\n\nKey fingerprint:\n%2\n\n"
        "Compare it with the fingerprint the server's administrator gives you. Trust this key and add it to "
        "known_hosts?");
    t.passwordCaption = QStringLiteral("Password");
    t.passwordForDatabase = QStringLiteral("Password of %1 for %2:");
    t.passphraseForKey = QStringLiteral("Passphrase of the SSH key %1:");
    t.passwordForSsh = QStringLiteral("SSH password for %1:");
    t.sshQuestion = QStringLiteral("The SSH server %1 asks:\n%2");
    t.rememberInKeyring = QStringLiteral("Remember in the keyring");
    t.keyringNeedsProfile =
        QStringLiteral("The keyring keeps passwords by profile: save the connection as a profile first.");
    t.keyringNoBus = QStringLiteral("No keyring: this session has no D-Bus session bus.");
    t.keyringNoService =
        QStringLiteral("No keyring: no Secret Service (GNOME Keyring, KWallet) runs in this session.");
    t.keyringNoAnswer = QStringLiteral("No keyring: the Secret Service did not answer in time.");
    t.noPasswordGiven = QStringLiteral("No password was given; the connection was not opened.");
    t.keepPasswordQuestion = QStringLiteral(
        "Keep the password in the profile file [%s]? Answer No to be asked for it when connecting.");

    t.saveAsQuestion = QStringLiteral("Save as [%s]?");
    t.fileExistsQuestion = QStringLiteral("File [%s] already exists. Overwrite?");
    t.undefinedName = QStringLiteral("Undefined");
    t.compactQuestion = QStringLiteral("Compact file [%s]. Are you sure?");
    t.sendToSpreadsheetQuestion = QStringLiteral(u"Send to Microsoft® Excel?");
    t.fileNotFoundText = QStringLiteral("File [%s] not found.");
    t.cannotRenameText = QStringLiteral("File [%s] cannot be renamed.");
    t.cannotDeleteText = QStringLiteral("File [%s] cannot be deleted.");
    t.reportingText = QStringLiteral("Reporting structure on file [%s].");
    t.waitText = QStringLiteral("Wait...");
    t.readyText = QStringLiteral("Ready!");
    return t;
}

UiTexts makePortuguese()
{
    UiTexts t;
    t.fileMenu = QStringLiteral("Arquivo");
    t.connectItem = QStringLiteral("Conectar");
    t.disconnectItem = QStringLiteral("Desconectar");
    t.loadItem = QStringLiteral("Carregar");
    t.saveItem = QStringLiteral("Salvar");
    t.exitItem = QStringLiteral("Sair");
    t.editItem = QStringLiteral("Editar");
    t.viewMenu = QStringLiteral("Visualizar");
    t.expandItem = QStringLiteral("Expandir");
    t.collapseItem = QStringLiteral("Contrair");
    t.refreshItem = QStringLiteral("Atualizar");
    t.toolsMenu = QStringLiteral("Ferramentas");
    t.runItem = QStringLiteral("Executar");
    t.statsItem = QStringLiteral(u"Estatísticas");
    t.reportItem = QStringLiteral(u"Relatório");
    t.compactItem = QStringLiteral("Compactar");
    t.windowMenu = QStringLiteral("Janela");
    t.structureItem = QStringLiteral("Estrutura");
    t.sqlItem = QStringLiteral("SQL");
    t.messagesItem = QStringLiteral("Mensagens");
    t.languageMenu = QStringLiteral("Linguagem");
    t.helpMenu = QStringLiteral("Ajuda");
    t.aboutItem = QStringLiteral("Sobre...");

    t.hintConnect = QStringLiteral("Conectar");
    t.hintDisconnect = QStringLiteral("Desconectar");
    t.hintExpand = QStringLiteral("Expandir");
    t.hintCollapse = QStringLiteral("Contrair");
    t.hintRefresh = QStringLiteral("Atualizar");
    t.hintLoad = QStringLiteral("Carregar");
    t.hintSave = QStringLiteral("Salvar");
    t.hintRun = QStringLiteral("Executar");
    t.hintStats = QStringLiteral(u"Estatísticas");
    t.hintReport = QStringLiteral(u"Relatório");
    t.hintAbout = QStringLiteral("Sobre...");

    t.structureTab = QStringLiteral("Estrutura");
    t.sqlTab = QStringLiteral("SQL");
    t.messagesTab = QStringLiteral("Mensagens");
    t.reportTab = QStringLiteral(u"Relatório");
    t.printButton = QStringLiteral("Imprimir");
    t.clearLogButton = QStringLiteral("Limpar");

    t.gridHeader = {QString(), QStringLiteral("Coluna"), QStringLiteral("Tipo"), QStringLiteral("Larg"),
                    QStringLiteral("Atributos")};
    t.navigatorHints = {QStringLiteral("Primeiro registro"), QStringLiteral("Registro anterior"),
                        QStringLiteral(u"Próximo registro"), QStringLiteral(u"Último registro"),
                        QStringLiteral("Insere registro"),   QStringLiteral("Exclui registro"),
                        QStringLiteral("Edita registro"),    QStringLiteral(u"Grava edição"),
                        QStringLiteral(u"Cancela edição"),   QStringLiteral("Atualiza dados")};
    t.deleteRecordQuestion = QStringLiteral("Excluir registro?");
    t.fetchingRecords = QStringLiteral(" Buscando registros: %1...");
    t.cancelFetch = QStringLiteral("Cancelar");
    t.cancelFetchHint = QStringLiteral(u"Parar a busca de registros (Esc); os registros já buscados ficam");

    t.gridHint = QStringLiteral(u"Duplo clique para enviar para o Microsoft® Excel");
    t.aboutCaption = QStringLiteral("Sobre este software");
    t.versionWord = QStringLiteral(u"Versão");
    t.legalNotice = QStringLiteral(
        u"Este programa está protegido pela lei de direitos autorais e por tratados internacionais. "
        u"O uso, a reprodução ou a distribuição não autorizados deste programa, ou de qualquer parte "
        u"dele, são proibidos e sujeitos a sanções civis e criminais.");

    t.exportItem = QStringLiteral(u"Exportar dados…");
    t.exportCaption = QStringLiteral("Exportar dados");
    t.exportFilterCsv = QStringLiteral("CSV (*.csv *.CSV)");
    t.exportFilterCsvBom = QStringLiteral("CSV para planilhas, com BOM (*.csv *.CSV)");
    t.exportFilterWorkbook = QStringLiteral("Pasta de trabalho do Excel (*.xlsx *.XLSX)");
    t.exportFilterJsonLines = QStringLiteral("JSON Lines (*.jsonl *.JSONL)");
    t.exportNothing =
        QStringLiteral(u"Nada para exportar: execute uma consulta ou selecione uma tabela na árvore.");
    t.exportRerunQuestion = QStringLiteral(u"A instrução é executada novamente para exportar suas linhas e "
                                           u"pode alterar dados. Executá-la novamente?");
    t.exportStarted = QStringLiteral("Exportando dados para o arquivo [%1].");
    t.exportDone = QStringLiteral("Linhas exportadas para o arquivo [%1]: %2.");
    t.exportCancelled =
        QStringLiteral(u"Exportação para o arquivo [%1] cancelada; nenhum arquivo foi gravado.");
    t.exportFailed = QStringLiteral(u"Exportação para o arquivo [%1] falhou; nenhum arquivo foi gravado: %2");
    t.exportCut = QStringLiteral(
        u"Linha %1, coluna %2: texto cortado nos 32.767 caracteres que uma célula de planilha comporta.");
    t.exportCutMore = QStringLiteral(u"Mais %1 células foram cortadas.");
    t.lostChangeDropped = QStringLiteral(u"A sessão foi perdida antes de a alteração em %1 (%2) ser gravada: "
                                         u"ela não foi escrita. O que foi digitado: %3");
    t.newRowKey = QStringLiteral("uma linha nova");

    t.securityEncrypted = QStringLiteral(u"Conexão criptografada (%1, %2)");
    t.securityVerifiedFor = QStringLiteral(u"certificado do servidor verificado para %1");
    t.securityChainVerified =
        QStringLiteral(u"certificado do servidor verificado (sua cadeia; o nome do host não foi conferido)");
    t.securityNotVerified = QStringLiteral(u"certificado do servidor não verificado");
    t.securityNotEncrypted = QStringLiteral(u"Conexão não criptografada (%1)");
    t.securityUnknown = QStringLiteral(u"O driver não informa se a conexão é criptografada");
    t.securityTunnel = QStringLiteral(u"Pelo túnel SSH %1 (chave do host conferida em known_hosts)");
    t.securityBeyondTunnel = QStringLiteral(u"do servidor SSH até %1 a sessão não é criptografada");
    t.captionNotEncrypted = QStringLiteral(u"[não criptografada]");
    t.hostKeyQuestion = QStringLiteral(
        u"O servidor SSH %1 não é conhecido: sua chave de host não está em known_hosts.\n\nImpressão digital "
        u"da chave:\n%2\n\nCompare-a com a impressão digital que o administrador do servidor fornece. "
        u"Confiar "
        u"nesta chave e adicioná-la a known_hosts?");
    t.passwordCaption = QStringLiteral("Senha");
    t.passwordForDatabase = QStringLiteral("Senha de %1 para %2:");
    t.passphraseForKey = QStringLiteral("Frase secreta da chave SSH %1:");
    t.passwordForSsh = QStringLiteral("Senha SSH para %1:");
    t.sshQuestion = QStringLiteral("O servidor SSH %1 pergunta:\n%2");
    t.rememberInKeyring = QStringLiteral("Lembrar no chaveiro");
    t.keyringNeedsProfile =
        QStringLiteral(u"O chaveiro guarda senhas por perfil: salve a conexão como perfil primeiro.");
    t.keyringNoBus = QStringLiteral(u"Sem chaveiro: esta sessão não tem barramento de sessão D-Bus.");
    t.keyringNoService = QStringLiteral(
        u"Sem chaveiro: nenhum Secret Service (GNOME Keyring, KWallet) é executado nesta sessão.");
    t.keyringNoAnswer = QStringLiteral(u"Sem chaveiro: o Secret Service não respondeu a tempo.");
    t.noPasswordGiven = QStringLiteral(u"Nenhuma senha foi informada; a conexão não foi aberta.");
    t.keepPasswordQuestion = QStringLiteral(
        u"Manter a senha no arquivo de perfil [%s]? Responda Não para que ela seja pedida ao conectar.");

    t.saveAsQuestion = QStringLiteral("Salvar como [%s]?");
    t.fileExistsQuestion = QStringLiteral(u"Arquivo [%s] já existe. Sobrescrever?");
    t.undefinedName = QStringLiteral("Indefinido");
    t.compactQuestion = QStringLiteral(u"Compactar arquivo [%s]. Você tem certeza?");
    t.sendToSpreadsheetQuestion = QStringLiteral(u"Enviar para o Microsoft® Excel?");
    t.fileNotFoundText = QStringLiteral(u"Arquivo [%s] não encontrado.");
    t.cannotRenameText = QStringLiteral(u"Arquivo [%s] não pôde ser renomeado.");
    t.cannotDeleteText = QStringLiteral(u"Arquivo [%s] não pôde ser apagado.");
    t.reportingText = QStringLiteral("Relatando estrutura no arquivo [%s].");
    t.waitText = QStringLiteral("Aguarde...");
    t.readyText = QStringLiteral("Pronto!");
    return t;
}
} // namespace

const UiTexts &englishTexts()
{
    static const UiTexts texts = makeEnglish();
    return texts;
}

const UiTexts &portugueseTexts()
{
    static const UiTexts texts = makePortuguese();
    return texts;
}

const UiTexts &textsFor(const QString &language)
{
    return language == QLatin1String("en-US") ? englishTexts() : portugueseTexts();
}

namespace dialogtexts {
QString englishCaption(int kind)
{
    switch (kind) {
    case 0:
        return QStringLiteral("Warning");
    case 1:
        return QStringLiteral("Error");
    case 2:
        return QStringLiteral("Information");
    case 3:
        return QStringLiteral("Confirm");
    default:
        return texts::applicationTitle();
    }
}

QString portugueseCaption(int kind)
{
    switch (kind) {
    case 0:
        return QStringLiteral(u"Atenção");
    case 1:
        return QStringLiteral("Erro");
    case 2:
        return QStringLiteral(u"Informação");
    case 3:
        return QStringLiteral(u"Confirmação");
    default:
        return texts::applicationTitle();
    }
}

QString englishLabel(int bit)
{
    static const char *const labels[] = {"&Yes",    "&No",  "OK",         "Cancel",      "&Abort", "&Retry",
                                         "&Ignore", "&All", "N&o to All", "Yes to &All", "&Help",  "&Close"};
    return bit >= 0 && bit < 12 ? QString::fromLatin1(labels[bit]) : QString();
}

QString portugueseLabel(int result)
{
    switch (result) {
    case 1:
        return QStringLiteral("OK");
    case 2:
        return QStringLiteral("Cancelar");
    case 3:
        return QStringLiteral("Abortar");
    case 4:
        return QStringLiteral("Repetir");
    case 5:
        return QStringLiteral("Ignorar");
    case 6:
        return QStringLiteral("Sim");
    case 7:
        return QStringLiteral(u"Não");
    case 8:
        return QStringLiteral("Todos");
    case 9:
        return QStringLiteral(u"Não para todos");
    case 10:
        return QStringLiteral("Sim para todos");
    default:
        return QString();
    }
}

QString systemBoxLabel(int result, bool systemIsPortuguese)
{
    if (systemIsPortuguese)
        return result == 0 ? QStringLiteral("Ajuda") : portugueseLabel(result);
    switch (result) {
    case 0:
        return QStringLiteral("Help");
    case 1:
        return QStringLiteral("OK");
    case 2:
        return QStringLiteral("Cancel");
    case 3:
        return QStringLiteral("Abort");
    case 4:
        return QStringLiteral("Retry");
    case 5:
        return QStringLiteral("Ignore");
    case 6:
        return QStringLiteral("Yes");
    case 7:
        return QStringLiteral("No");
    default:
        return QString();
    }
}
} // namespace dialogtexts
