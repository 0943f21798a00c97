#pragma once

// The demo session's steps that insert a stock element through Insert
// Element and copy a bar between masks, as a user does them. Header-only
// for the same reason as DemoArtSession.

#include "panels/AddElementDialog.h"
#include "support/DemoArtSession.h"

class DemoStockSteps : public DemoArtSession {
protected:
    // A stock element of the type inserted on the first page through the
    // dialog, showing RPM; its mask index, or -1.
    int insertStock(const QString& type)
    {
        asker->onExec = [type](QDialog* dialog) {
            auto* add = qobject_cast<AddElementDialog*>(dialog);
            if (!add)
                return int(QDialog::Accepted);
            auto* types = add->findChild<QListWidget*>(QStringLiteral("types"));
            types->setCurrentItem(types->findItems(type, Qt::MatchExactly).value(0));
            auto* channels = add->findChild<QListWidget*>(QStringLiteral("channels"));
            channels->setCurrentItem(channels->findItems(QStringLiteral("RPM  ("), Qt::MatchStartsWith).value(0));
            add->onAccept();
            return add->result();
        };
        window->onPageSelected(0);
        const int before = int(config->pages[0].masks.size());
        window->insertElement();
        asker->onExec = {};
        return int(config->pages[0].masks.size()) == before + 1 ? before : -1;
    }

    // The mask's first bar widget, or -1.
    int barWidget(int page, int mask) const
    {
        const std::vector<WidgetModel>& widgets = config->pages[size_t(page)].masks[size_t(mask)].widgets;
        for (size_t i = 0; i < widgets.size(); ++i) {
            if (widgets[i].kind == WidgetBargraph)
                return int(i);
        }
        return -1;
    }

    // Copies the mask's bar, then pastes it into the target mask of the
    // same page; the pasted widget's index, or -1.
    int copyBarInto(int page, int mask, int target)
    {
        auto* canvas = window->findChild<DashCanvas*>();
        window->onPageSelected(page);
        canvas->setSelectedMask(mask);
        canvas->setSelectedWidget(barWidget(page, mask));
        window->copyWidget();
        canvas->setSelectedMask(target);
        canvas->setSelectedWidget(-1);
        const size_t widgets = config->pages[size_t(page)].masks[size_t(target)].widgets.size();
        window->pasteWidget();
        return config->pages[size_t(page)].masks[size_t(target)].widgets.size() == widgets + 1 ? int(widgets) : -1;
    }

    void closeAndDiscard()
    {
        asker->onExec = {};
        asker->buttons = {QMessageBox::Discard};
        QVERIFY(window->close());
    }
};
