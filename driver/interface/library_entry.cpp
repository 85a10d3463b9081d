// Library load and unload.
