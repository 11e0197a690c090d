-- A sample document: the menu entries are written out one by one so that
-- the script deflates well.
local entries = {
    "first entry of the menu",
    "second entry of the menu",
    "third entry of the menu",
    "fourth entry of the menu",
}

function startup()
    for i = 1, #entries do
        print(i, entries[i])
    end
end
