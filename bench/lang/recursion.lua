local start = os.clock()
local function tak(x, y, z)
    if y >= x then return z end
    return tak(tak(x - 1, y, z), tak(y - 1, z, x), tak(z - 1, x, y))
end
local function tree(depth)
    if depth == 0 then return {left = nil, right = nil} end
    return {left = tree(depth - 1), right = tree(depth - 1)}
end
local function check(t)
    if t.left == nil then return 1 end
    return 1 + check(t.left) + check(t.right)
end
local function sumTo(n)
    if n == 0 then return 0 end
    return n + sumTo(n - 1)
end
local nodes = 0
for round = 0, 7 do nodes = nodes + check(tree(14)) end
local deep = 0
for round = 0, 99 do deep = deep + sumTo(9000) end
print(tak(18, 12, 6) .. ":" .. nodes .. ":" .. deep, os.clock() - start)
