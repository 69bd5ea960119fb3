// Replaced by the connection logic sources.
