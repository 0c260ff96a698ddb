#pragma once

// The end of a scored run of the alphanumeric or alpha test window: scoring
// over the window's own test table, the error log into its hidden buffer,
// then the results row and the result report.

class TextTestForm;

void scoreTextTest(TextTestForm& form);
