#pragma once

// Settings in a test location, the names the configurator stores them under, and the
// English texts: what every test that drives the main window starts from.
void prepareTestApplication();
