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
    t.exportNoRows =
        QStringLiteral("Export to file [%1]: the statement returned no rows; the file was not written.");
    t.fileNotOnDisk =
        QStringLiteral("File [%1] was written, but the system could not confirm it is on disk yet: %2");
    t.profileNarrowed = QStringLiteral(
        "Profile [%1] holds a password: its permissions were narrowed from %2 to 0600, so that only you can "
        "read it.");
    t.dataLinkShowSecrets = QStringLiteral("&Show passwords");
    t.compactCancelled = QStringLiteral("Compaction of file [%1] cancelled; the database was not changed.");
    t.lostChangeDropped =
        QStringLiteral("The session was lost before the change to %1 (%2) was saved: it was "
                       "not written. What was typed: %3");
    t.newRowKey = QStringLiteral("a new row");

    GridTexts &g = t.grid;
    g.menu = QStringLiteral("Result grid");
    g.copy = QStringLiteral("Copy");
    g.copyAs = QStringLiteral("Copy as");
    g.copyTsv = QStringLiteral("Tab-separated text");
    g.copyCsv = QStringLiteral("CSV");
    g.copyJson = QStringLiteral("JSON");
    g.copyMarkdown = QStringLiteral("Markdown table");
    g.copyInsert = QStringLiteral("INSERT statements");
    g.setNull = QStringLiteral("Set to NULL");
    g.openValue = QStringLiteral(u"Open binary value…");
    g.saveValue = QStringLiteral(u"Save value to file…");
    g.loadValue = QStringLiteral(u"Load value from file…");
    g.find = QStringLiteral(u"Find…");
    g.findNext = QStringLiteral("Find next");
    g.findPrevious = QStringLiteral("Find previous");
    g.filterRow = QStringLiteral("Filter row");
    g.originalOrder = QStringLiteral("Original order");
    g.clearFilters = QStringLiteral("Clear filters");
    g.fitColumn = QStringLiteral("Fit column width");
    g.fitAllColumns = QStringLiteral("Fit all column widths");
    g.selectColumn = QStringLiteral("Select column");
    g.findLabel = QStringLiteral("Find:");
    g.findPlaceholder = QStringLiteral("Text to find in the cells");
    g.matchCase = QStringLiteral("Match case");
    g.findNotFound = QStringLiteral("Not found: %1");
    g.findWrapped = QStringLiteral("Went round the end of the rows");
    g.closeFind = QStringLiteral("Close the find bar (Esc)");
    g.siteDatabase = QStringLiteral("db");
    g.siteGrid = QStringLiteral("grid");
    g.sortedByDatabase = QStringLiteral("Sorted by the database");
    g.sortedByGrid = QStringLiteral("Sorted in the grid");
    g.filteredByDatabase = QStringLiteral("Filtered by the database");
    g.filteredByGrid = QStringLiteral("Filtered in the grid");
    g.headerHint = QStringLiteral(
        "Click to sort (again: descending; a third time: the original order); Shift+click adds the column "
        "to the sort; Ctrl+click selects the column");
    g.cannotSort = QStringLiteral("Cannot sort: %1");
    g.cannotFilter = QStringLiteral("Cannot filter: %1");
    g.reasonSpilled = QStringLiteral("the result is too large to sort in memory (its rows went to disk), and "
                                     "the database cannot do it: %1");
    g.reasonNotOneStatement = QStringLiteral("the text holds more than one statement");
    g.reasonNotAQuery = QStringLiteral("the statement is not a SELECT query");
    g.reasonWrites = QStringLiteral("the statement may change data or lock rows");
    g.reasonRepeatedName = QStringLiteral("the column %1 shares its name with another column of the result");
    g.reasonNotANumber = QStringLiteral("\"%1\" is not a number, and the column %2 holds numbers");
    g.reasonNotADate = QStringLiteral("\"%1\" is not a date, and the column %2 holds dates");
    g.filterPlaceholder = QStringLiteral("Filter");
    g.filterHint = QStringLiteral(
        "=, <>, <, <=, >, >= a value; LIKE a pattern (% any text, _ one character, ! before either takes it "
        "as it is); NULL or NOT NULL; any other text finds the cells that contain it. Return applies the "
        "filters.");
    g.filterAccessible = QStringLiteral("Filter of column %1");
    g.rowsMatch = QStringLiteral(" %1 of %2 rows match");
    g.rowsMatchUnknown = QStringLiteral(" %1 rows match");
    g.imageKind = QStringLiteral("%1 image");
    g.binaryKind = QStringLiteral("binary");
    g.blobCell = QStringLiteral("(%1, %2 bytes)");
    g.valueCaption = QStringLiteral("Binary value (%1)");
    g.hexPage = QStringLiteral("Hexadecimal");
    g.imagePage = QStringLiteral("Image");
    g.saveValueCaption = QStringLiteral("Save value to file");
    g.loadValueCaption = QStringLiteral("Load value from file");
    g.allFiles = QStringLiteral("All files (*)");
    g.valueSaved = QStringLiteral("Value saved to file [%1]: %2 bytes.");
    g.valueLoaded = QStringLiteral("Value loaded from file [%1]: %2 bytes; post the record to store it.");
    g.fileFailed = QStringLiteral("File [%1]: %2");
    g.noBinaryValue = QStringLiteral("The current cell holds no binary value.");
    g.closeViewer = QStringLiteral("Close");

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
    t.exportNoRows = QStringLiteral(
        u"Exportação para o arquivo [%1]: a instrução não retornou linhas; o arquivo não foi gravado.");
    t.fileNotOnDisk = QStringLiteral(
        u"O arquivo [%1] foi gravado, mas o sistema não pôde confirmar que ele já está no disco: %2");
    t.profileNarrowed =
        QStringLiteral(u"O perfil [%1] contém uma senha: suas permissões foram reduzidas de %2 "
                       u"para 0600, para que só você possa lê-lo.");
    t.dataLinkShowSecrets = QStringLiteral("&Mostrar senhas");
    t.compactCancelled =
        QStringLiteral(u"Compactação do arquivo [%1] cancelada; o banco de dados não foi alterado.");
    t.lostChangeDropped = QStringLiteral(u"A sessão foi perdida antes de a alteração em %1 (%2) ser gravada: "
                                         u"ela não foi escrita. O que foi digitado: %3");
    t.newRowKey = QStringLiteral("uma linha nova");

    GridTexts &g = t.grid;
    g.menu = QStringLiteral("Grade de resultados");
    g.copy = QStringLiteral("Copiar");
    g.copyAs = QStringLiteral("Copiar como");
    g.copyTsv = QStringLiteral(u"Texto separado por tabulações");
    g.copyCsv = QStringLiteral("CSV");
    g.copyJson = QStringLiteral("JSON");
    g.copyMarkdown = QStringLiteral("Tabela Markdown");
    g.copyInsert = QStringLiteral("Comandos INSERT");
    g.setNull = QStringLiteral("Definir como NULL");
    g.openValue = QStringLiteral(u"Abrir valor binário…");
    g.saveValue = QStringLiteral(u"Salvar valor em arquivo…");
    g.loadValue = QStringLiteral(u"Carregar valor de arquivo…");
    g.find = QStringLiteral(u"Localizar…");
    g.findNext = QStringLiteral(u"Localizar próximo");
    g.findPrevious = QStringLiteral("Localizar anterior");
    g.filterRow = QStringLiteral("Linha de filtro");
    g.originalOrder = QStringLiteral("Ordem original");
    g.clearFilters = QStringLiteral("Limpar filtros");
    g.fitColumn = QStringLiteral("Ajustar largura da coluna");
    g.fitAllColumns = QStringLiteral("Ajustar largura de todas as colunas");
    g.selectColumn = QStringLiteral("Selecionar coluna");
    g.findLabel = QStringLiteral("Localizar:");
    g.findPlaceholder = QStringLiteral(u"Texto a localizar nas células");
    g.matchCase = QStringLiteral(u"Diferenciar maiúsculas");
    g.findNotFound = QStringLiteral(u"Não encontrado: %1");
    g.findWrapped = QStringLiteral("A busca passou do fim das linhas e recomeçou");
    g.closeFind = QStringLiteral("Fechar a barra de busca (Esc)");
    g.siteDatabase = QStringLiteral("bd");
    g.siteGrid = QStringLiteral("grade");
    g.sortedByDatabase = QStringLiteral("Ordenado pelo banco de dados");
    g.sortedByGrid = QStringLiteral("Ordenado na grade");
    g.filteredByDatabase = QStringLiteral("Filtrado pelo banco de dados");
    g.filteredByGrid = QStringLiteral("Filtrado na grade");
    g.headerHint = QStringLiteral(
        u"Clique para ordenar (de novo: decrescente; na terceira vez: a ordem original); Shift+clique "
        u"acrescenta a coluna à ordenação; Ctrl+clique seleciona a coluna");
    g.cannotSort = QStringLiteral(u"Não é possível ordenar: %1");
    g.cannotFilter = QStringLiteral(u"Não é possível filtrar: %1");
    g.reasonSpilled = QStringLiteral(
        u"o resultado é grande demais para ordenar na memória (suas linhas foram para o disco), e o banco de "
        u"dados não pode fazê-lo: %1");
    g.reasonNotOneStatement = QStringLiteral(u"o texto contém mais de um comando");
    g.reasonNotAQuery = QStringLiteral(u"o comando não é uma consulta SELECT");
    g.reasonWrites = QStringLiteral(u"o comando pode alterar dados ou bloquear linhas");
    g.reasonRepeatedName = QStringLiteral("a coluna %1 tem o mesmo nome que outra coluna do resultado");
    g.reasonNotANumber = QStringLiteral(u"\"%1\" não é um número, e a coluna %2 contém números");
    g.reasonNotADate = QStringLiteral(u"\"%1\" não é uma data, e a coluna %2 contém datas");
    g.filterPlaceholder = QStringLiteral("Filtro");
    g.filterHint = QStringLiteral(
        u"=, <>, <, <=, >, >= um valor; LIKE um padrão (% qualquer texto, _ um caractere, ! antes de um "
        u"deles "
        u"o toma como está); NULL ou NOT NULL; outro texto localiza as células que o contêm. Enter aplica os "
        u"filtros.");
    g.filterAccessible = QStringLiteral("Filtro da coluna %1");
    g.rowsMatch = QStringLiteral(" %1 de %2 linhas correspondem");
    g.rowsMatchUnknown = QStringLiteral(" %1 linhas correspondem");
    g.imageKind = QStringLiteral("imagem %1");
    g.binaryKind = QStringLiteral(u"binário");
    g.blobCell = QStringLiteral("(%1, %2 bytes)");
    g.valueCaption = QStringLiteral(u"Valor binário (%1)");
    g.hexPage = QStringLiteral("Hexadecimal");
    g.imagePage = QStringLiteral("Imagem");
    g.saveValueCaption = QStringLiteral("Salvar valor em arquivo");
    g.loadValueCaption = QStringLiteral("Carregar valor de arquivo");
    g.allFiles = QStringLiteral("Todos os arquivos (*)");
    g.valueSaved = QStringLiteral("Valor salvo no arquivo [%1]: %2 bytes.");
    g.valueLoaded =
        QStringLiteral("Valor carregado do arquivo [%1]: %2 bytes; grave o registro para armazená-lo.");
    g.fileFailed = QStringLiteral("Arquivo [%1]: %2");
    g.noBinaryValue = QStringLiteral(u"A célula atual não contém um valor binário.");
    g.closeViewer = QStringLiteral("Fechar");

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
