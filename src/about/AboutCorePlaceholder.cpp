// Replaced by VersInfo.
