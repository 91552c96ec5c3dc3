local start = os.clock()
local total = 0
for i = 0, 299999 do
    local t = "n" .. i .. "x"
    total = total + #t + ((t:find("9", 1, true) or 0) - 1) + tonumber(t:sub(2, #t - 1)) % 7
end
print(total, os.clock() - start)
