# Tests of the settings file, small dialogs, viewer launch and single instance.
