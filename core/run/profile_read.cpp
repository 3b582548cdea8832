#include "run_sink.h"
#include "profile_page.h"

#include "pageutil.h"

ProfileRead::ProfileRead(const Module1::Page &page, qint64 id, const QString &name, const QString &grade)
    : m_page(page)
{
    m_cells[Column::Name] = name;
    m_cells[Column::HomepageId] = QString::number(id);
    m_cells[Column::Grade] = grade;
    m_read.set(Column::Name).set(Column::HomepageId).set(Column::Grade);
}

const QString &ProfileRead::cell(int column)
{
    if (!m_read[size_t(column)]) {
        // Each value is read at the moment it is asked for, from the page as it came.
        m_cells[size_t(column)] = m_page.isUtf8 ? ProfilePage::extractCell(QUtf8StringView(m_page.utf8), column)
                                                : ProfilePage::extractCell(QStringView(m_page.text), column);
        m_read.set(size_t(column));
    }
    return m_cells[size_t(column)];
}

QString ProfileRead::cellOrMissing(int column)
{
    try {
        return cell(column);
    } catch (const Module1::Failure &) {
        return Module1::missingValue();
    }
}

void ProfileRead::setNumber(const QString &number)
{
    m_cells[Column::Index] = number;
    m_read.set(Column::Index);
    m_inRow.set(Column::Index);
}

const QString &ProfileRead::rowCell(int column)
{
    const QString &text = cell(column);
    m_inRow.set(size_t(column));
    return text;
}

std::array<QString, Column::kCount> ProfileRead::row() const
{
    std::array<QString, Column::kCount> row;
    for (size_t c = 0; c < row.size(); ++c) {
        if (m_inRow[c])
            row[c] = m_cells[c];
    }
    return row;
}
