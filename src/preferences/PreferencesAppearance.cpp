#include "Preferences.h"

#include "ui_Preferences.h"

namespace {

using FONT_BLOCK = SettingsProvider::FONT_BLOCK;

enum WINDOW
{
    WINDOW_ROSTER = 0,
    WINDOW_CONVERSATION = 1,
};

// One row of the element list and the fields of the working copy it shows and edits; a
// row without a font or colour field offers no chooser for it.
struct Element
{
    const char* text;
    FONT_BLOCK* font;
    QColor* colour;
};

std::vector<Element> ElementsOf(int window, SettingsProvider::SETTINGS& s)
{
    if (window == WINDOW_ROSTER)
        return { { "Group name", &s.groupFont, &s.groupFont.colour },
            { "User name (active)", &s.userNameActiveFont, &s.userNameActiveFont.colour },
            { "Memo (active)", &s.memoActiveFont, &s.memoActiveFont.colour },
            { "User name (inactive)", &s.userNameInActiveFont, &s.userNameInActiveFont.colour },
            { "Group cursor background", nullptr, &s.groupCursorBackground },
            { "Group cursor border", nullptr, &s.groupCursorBorder },
            { "User cursor background", nullptr, &s.userCursorBackground },
            { "User cursor border", nullptr, &s.userCursorBorder } };
    if (window == WINDOW_CONVERSATION)
        return { { "Messages", &s.chatMessagesFont, nullptr },
            { "Recent Incoming Message", nullptr, &s.chatRecentIncomingMessagesColor },
            { "Recent Outgoing Message", nullptr, &s.chatRecentOutgoingMessagesColor },
            { "Incoming Message", nullptr, &s.chatIncomingMessagesColor },
            { "Outgoing Message", nullptr, &s.chatOutgoingMessagesColor } };
    return {};
}

std::optional<Element> ElementAt(int window, int row, SettingsProvider::SETTINGS& s)
{
    const std::vector<Element> elements = ElementsOf(window, s);
    if (row < 0 || row >= int(elements.size()))
        return std::nullopt;
    return elements[size_t(row)];
}

// The current row of the element list with its fields; none without a current row.
std::optional<std::pair<QListWidgetItem*, Element>> CurrentElement(
    const Ui::Preferences& ui, SettingsProvider::SETTINGS& s)
{
    QListWidgetItem* item = ui.colorListWidget->currentItem();
    const std::optional<Element> element
        = ElementAt(ui.cmbWindowSelect->currentIndex(), ui.colorListWidget->currentRow(), s);
    if (!item || !element)
        return std::nullopt;
    return std::make_pair(item, *element);
}

QFont FontOf(const QString& name, int size, bool bold, bool italic)
{
    QFont font(name, size);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(italic);
    return font;
}

} // namespace

void Preferences::CreateListWidgetItem(QListWidget* list, const QString& text, const QColor& colour,
    const QString& fontName, int size, bool bold, bool italic)
{
    auto* item = new QListWidgetItem(text, list);
    item->setForeground(QBrush(colour));
    // White group names and cursor colours would vanish on the white list: such rows stand on
    // the roster's dark background.
    if (colour.lightness() > 200)
        item->setBackground(QColor(50, 50, 50));
    if (!fontName.isEmpty())
        item->setFont(FontOf(fontName, size, bold, italic));
}

// The rows always belong to the window the selector shows, so the buttons edit what is shown.
void Preferences::FillElementList()
{
    ui->colorListWidget->clear();
    if (ui->cmbWindowSelect->currentIndex() == WINDOW_ROSTER)
        GenerateRosterWindowColors(ui->colorListWidget);
    else if (ui->cmbWindowSelect->currentIndex() == WINDOW_CONVERSATION)
        GenerateChatWindowColors(ui->colorListWidget);
    ui->btnFont->setEnabled(false);
    ui->btnTextColor->setEnabled(false);
}

void Preferences::GenerateRosterWindowColors(QListWidget* list)
{
    AddElementRows(list, WINDOW_ROSTER);
}

void Preferences::GenerateChatWindowColors(QListWidget* list)
{
    AddElementRows(list, WINDOW_CONVERSATION);
}

// Font rows are drawn in their font; the conversation's font row has no colour and shows black.
void Preferences::AddElementRows(QListWidget* list, int window)
{
    for (const Element& element : ElementsOf(window, settings)) {
        const QColor colour = element.colour ? *element.colour : QColor(Qt::black);
        if (element.font)
            CreateListWidgetItem(list, element.text, colour, element.font->name, element.font->size,
                element.font->bold, element.font->italic);
        else
            CreateListWidgetItem(list, element.text, colour, QString(), 0, false, false);
    }
}

void Preferences::on_cmbWindowSelect_activated(int)
{
    FillElementList();
}

void Preferences::on_colorListWidget_currentRowChanged(int row)
{
    const std::optional<Element> element
        = ElementAt(ui->cmbWindowSelect->currentIndex(), row, settings);
    ui->btnFont->setEnabled(element && element->font);
    ui->btnTextColor->setEnabled(element && element->colour);
}

void Preferences::on_btnFont_clicked()
{
    const auto current = CurrentElement(*ui, settings);
    if (!current || !current->second.font)
        return;
    FONT_BLOCK& block = *current->second.font;
    const std::optional<QFont> chosen
        = prompts.chooseFont(FontOf(block.name, block.size, block.bold, block.italic));
    if (!chosen)
        return;
    block.name = chosen->family();
    if (chosen->pointSize() > 0)
        block.size = chosen->pointSize();
    block.bold = chosen->weight() > QFont::Normal;
    block.italic = chosen->style() != QFont::StyleNormal;
    current->first->setFont(FontOf(block.name, block.size, block.bold, block.italic));
    EnableApply();
}

// The chooser starts from white, whatever the row shows.
void Preferences::on_btnTextColor_clicked()
{
    const auto current = CurrentElement(*ui, settings);
    if (!current || !current->second.colour)
        return;
    const std::optional<QColor> chosen = prompts.chooseColour(Qt::white);
    if (!chosen)
        return;
    *current->second.colour = *chosen;
    current->first->setForeground(QBrush(*chosen));
    EnableApply();
}

void Preferences::on_btnResetToDefaultColor_clicked()
{
    settingsProvider.SetDefaultColors();
    RefreshConfig();
    EnableApply();
}
