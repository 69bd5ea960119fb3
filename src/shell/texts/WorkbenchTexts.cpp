#include "shell/texts/WorkbenchTexts.h"

#include "shell/texts/UiTexts.h"

namespace {

WorkbenchTexts makeEnglish()
{
    WorkbenchTexts t;
    t.findLabel = QStringLiteral("Find:");
    t.replaceLabel = QStringLiteral("Replace with:");
    t.findNext = QStringLiteral("Next");
    t.findPrevious = QStringLiteral("Previous");
    t.replace = QStringLiteral("Replace");
    t.replaceAll = QStringLiteral("Replace all");
    t.matchCase = QStringLiteral("Match case");
    t.closeFind = QStringLiteral("Close");
    t.findFieldName = QStringLiteral("Text to find");
    t.replaceFieldName = QStringLiteral("Replacement text");
    t.findBarName = QStringLiteral("Find and replace");
    t.notFound = QStringLiteral("Not found");
    t.replacedCount = QStringLiteral("%1 replaced");

    t.historyCaption = QStringLiteral("History");
    t.historyFilter = QStringLiteral("Filter:");
    t.historyFilterHint = QStringLiteral("Text in the statement or the connection");
    t.historyHeader = {QStringLiteral("Time"), QStringLiteral("Connection"), QStringLiteral("Duration"),
                       QStringLiteral("Rows"), QStringLiteral("Result"),     QStringLiteral("Statement")};
    t.historySucceeded = QStringLiteral("ok");
    t.historyFailed = QStringLiteral("failed");
    t.historyUse = QStringLiteral("Put into editor");
    t.historyDelete = QStringLiteral("Delete");
    t.historyClear = QStringLiteral("Clear all");
    t.historyClose = QStringLiteral("Close");
    t.historyClearQuestion = QStringLiteral("Delete every entry of the history?");
    t.historyFilterName = QStringLiteral("History filter");
    t.historyTableName = QStringLiteral("History entries");
    t.historyFailedToRead = QStringLiteral("The history could not be read: %1");
    t.historyFailedToWrite = QStringLiteral("The history could not be written: %1");

    t.scriptRows = QStringLiteral("Line %1: %2 rows in %3 ms: %4");
    t.scriptAffected = QStringLiteral("Line %1: %2 records affected in %3 ms: %4");
    t.scriptDone = QStringLiteral("Line %1: done in %2 ms: %3");
    t.scriptFailed = QStringLiteral("Line %1: error in %2: %3");
    t.scriptCancelled = QStringLiteral("Line %1: cancelled: %2");
    t.scriptClientCommand = QStringLiteral("Line %1: %2 is a psql command and was not run.");
    t.scriptSkipped = QStringLiteral("Line %1: %2 is a psql command; passed over.");
    t.scriptSummary = QStringLiteral("Script: %1 of %2 statements run in %3 ms, %4 failed.");
    t.scriptStopped = QStringLiteral("The script stopped at its first error.");
    t.scriptWasCancelled = QStringLiteral("The script was cancelled.");

    t.runStatementItem = QStringLiteral("Run statement");
    t.runScriptItem = QStringLiteral("Run script");
    t.continueOnErrorItem = QStringLiteral("Continue script after errors");
    t.findItem = QStringLiteral(u"Find in the SQL editor…");
    t.openSqlItem = QStringLiteral(u"Open SQL file…");
    t.saveSqlItem = QStringLiteral("Save SQL file");
    t.saveSqlAsItem = QStringLiteral(u"Save SQL file as…");
    t.historyItem = QStringLiteral(u"History…");
    t.nothingToRun = QStringLiteral(" There is no statement to run.");
    t.editorTextReadFailed = QStringLiteral("The SQL editor's text of this connection could not be read: %1");
    t.editorTextWriteFailed = QStringLiteral("The SQL editor's text could not be kept for the next time: %1");

    t.openSqlCaption = QStringLiteral("Open SQL file");
    t.saveSqlCaption = QStringLiteral("Save SQL file");
    t.sqlFilter = QStringLiteral("SQL files (*.sql *.SQL)");
    t.allFilesFilter = QStringLiteral("All files (*)");
    t.sqlFileReadFailed = QStringLiteral("File [%1] could not be read: %2");
    t.sqlFileWriteFailed = QStringLiteral("File [%1] could not be written: %2");
    t.sqlFileNotUtf8 =
        QStringLiteral("File [%1] is not UTF-8; it was read as Windows-1252 and is saved as UTF-8.");
    return t;
}

WorkbenchTexts makePortuguese()
{
    WorkbenchTexts t;
    t.findLabel = QStringLiteral("Localizar:");
    t.replaceLabel = QStringLiteral("Substituir por:");
    t.findNext = QStringLiteral(u"Próximo");
    t.findPrevious = QStringLiteral("Anterior");
    t.replace = QStringLiteral("Substituir");
    t.replaceAll = QStringLiteral("Substituir todos");
    t.matchCase = QStringLiteral(u"Diferenciar maiúsculas");
    t.closeFind = QStringLiteral("Fechar");
    t.findFieldName = QStringLiteral("Texto a localizar");
    t.replaceFieldName = QStringLiteral(u"Texto de substituição");
    t.findBarName = QStringLiteral("Localizar e substituir");
    t.notFound = QStringLiteral(u"Não encontrado");
    t.replacedCount = QStringLiteral(u"%1 substituídos");

    t.historyCaption = QStringLiteral(u"Histórico");
    t.historyFilter = QStringLiteral("Filtro:");
    t.historyFilterHint = QStringLiteral(u"Texto no comando ou na conexão");
    t.historyHeader = {QStringLiteral("Hora"),      QStringLiteral(u"Conexão"),  QStringLiteral(u"Duração"),
                       QStringLiteral("Registros"), QStringLiteral("Resultado"), QStringLiteral("Comando")};
    t.historySucceeded = QStringLiteral("ok");
    t.historyFailed = QStringLiteral("falhou");
    t.historyUse = QStringLiteral("Colocar no editor");
    t.historyDelete = QStringLiteral("Excluir");
    t.historyClear = QStringLiteral("Limpar tudo");
    t.historyClose = QStringLiteral("Fechar");
    t.historyClearQuestion = QStringLiteral(u"Excluir todas as entradas do histórico?");
    t.historyFilterName = QStringLiteral(u"Filtro do histórico");
    t.historyTableName = QStringLiteral(u"Entradas do histórico");
    t.historyFailedToRead = QStringLiteral(u"O histórico não pôde ser lido: %1");
    t.historyFailedToWrite = QStringLiteral(u"O histórico não pôde ser gravado: %1");

    t.scriptRows = QStringLiteral("Linha %1: %2 registros em %3 ms: %4");
    t.scriptAffected = QStringLiteral("Linha %1: %2 registros afetados em %3 ms: %4");
    t.scriptDone = QStringLiteral(u"Linha %1: concluído em %2 ms: %3");
    t.scriptFailed = QStringLiteral("Linha %1: erro em %2: %3");
    t.scriptCancelled = QStringLiteral("Linha %1: cancelado: %2");
    t.scriptClientCommand = QStringLiteral(u"Linha %1: %2 é um comando do psql e não foi executado.");
    t.scriptSkipped = QStringLiteral(u"Linha %1: %2 é um comando do psql; ignorado.");
    t.scriptSummary = QStringLiteral("Script: %1 de %2 comandos executados em %3 ms, %4 com erro.");
    t.scriptStopped = QStringLiteral(u"O script parou no primeiro erro.");
    t.scriptWasCancelled = QStringLiteral("O script foi cancelado.");

    t.runStatementItem = QStringLiteral("Executar comando");
    t.runScriptItem = QStringLiteral("Executar script");
    t.continueOnErrorItem = QStringLiteral(u"Continuar o script após erros");
    t.findItem = QStringLiteral(u"Localizar no editor SQL…");
    t.openSqlItem = QStringLiteral(u"Abrir arquivo SQL…");
    t.saveSqlItem = QStringLiteral("Salvar arquivo SQL");
    t.saveSqlAsItem = QStringLiteral(u"Salvar arquivo SQL como…");
    t.historyItem = QStringLiteral(u"Histórico…");
    t.nothingToRun = QStringLiteral(u" Não há comando a executar.");
    t.editorTextReadFailed = QStringLiteral(u"O texto do editor SQL desta conexão não pôde ser lido: %1");
    t.editorTextWriteFailed =
        QStringLiteral(u"O texto do editor SQL não pôde ser guardado para a próxima vez: %1");

    t.openSqlCaption = QStringLiteral("Abrir arquivo SQL");
    t.saveSqlCaption = QStringLiteral("Salvar arquivo SQL");
    t.sqlFilter = QStringLiteral("Arquivos SQL (*.sql *.SQL)");
    t.allFilesFilter = QStringLiteral("Todos os arquivos (*)");
    t.sqlFileReadFailed = QStringLiteral(u"O arquivo [%1] não pôde ser lido: %2");
    t.sqlFileWriteFailed = QStringLiteral(u"O arquivo [%1] não pôde ser gravado: %2");
    t.sqlFileNotUtf8 =
        QStringLiteral(u"O arquivo [%1] não está em UTF-8; foi lido como Windows-1252 e é salvo em UTF-8.");
    return t;
}

} // namespace

const WorkbenchTexts &englishWorkbenchTexts()
{
    static const WorkbenchTexts texts = makeEnglish();
    return texts;
}

const WorkbenchTexts &portugueseWorkbenchTexts()
{
    static const WorkbenchTexts texts = makePortuguese();
    return texts;
}

const WorkbenchTexts &workbenchTextsFor(const QString &language)
{
    return &textsFor(language) == &englishTexts() ? englishWorkbenchTexts() : portugueseWorkbenchTexts();
}
