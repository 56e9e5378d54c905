#pragma once

#include "UnoOffice.h"
#include "output/Spreadsheet.h"

#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <memory>

namespace quorvane::calc {

// A new Calc document of an office reached through UNO.
class CalcSpreadsheet final : public Spreadsheet
{
public:
    // Starts or joins the office and creates the document. Throws Failure.
    explicit CalcSpreadsheet(const CalcConnection& connection);
    ~CalcSpreadsheet() override;

    void setTexts(int row, int column, const QList<QStringList>& rows) override;
    void autofitColumn(int column) override;
    void autofitAllColumns() override;
    QString show() override;
    void abandon() override;

private:
    void openDocument();
    void fitColumns(int first, int last);
    QString save();
    void close();

    bool m_headless; // no windows: the document opens hidden, and is saved instead of shown
    QString m_saveFolder;
    QString m_pipe;
    std::unique_ptr<UnoOffice> m_office;
    css::uno::Reference<css::lang::XComponent> m_document;
    css::uno::Reference<css::sheet::XSpreadsheet> m_sheet;
    int m_columnsUsed = 0;
};

// For the program's end, from any thread while export calls still run: ends the windowless office that this
// program started (it holds nothing but the program's documents, which nobody can see), and removes what an
// unfinished save and the office's sockets left behind.
void endStartedOffice();

} // namespace quorvane::calc
