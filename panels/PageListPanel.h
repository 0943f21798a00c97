#pragma once

#include "model/PageModel.h"

#include <QListWidget>
#include <vector>

// The narrow list of display pages on the left of the main window: one row
// per page with its name and a thumbnail of its background. It keeps no model
// data; the row number is the page's index in the configuration.
class PageListPanel : public QListWidget {
    Q_OBJECT

public:
    explicit PageListPanel(QWidget* parent = nullptr);

    // Refills the list and makes row 0 current when there is a page. The main
    // window calls this with the panel's signals blocked.
    void setPages(const std::vector<PageModel>& pages);

Q_SIGNALS:
    void pageSelected(int index);

public Q_SLOTS:
    void onCurrentRowChanged(int row);
};
