local start = os.clock()
local parts = {}
for i = 0, 199999 do parts[#parts + 1] = "item " .. i .. ";" end
local s = table.concat(parts)
print(#s .. ":" .. (s:find("item 123456;", 1, true) - 1), os.clock() - start)
