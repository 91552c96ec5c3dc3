local start = os.clock()
local s = ""
local i = 0
while i < 20000 do
    s = s .. "item " .. i .. ";"
    i = i + 1
end
print(i, os.clock() - start, #s)
