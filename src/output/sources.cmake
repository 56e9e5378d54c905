# Results output (aligned text, clipboard text, spreadsheet interface).
